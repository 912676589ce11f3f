// The main window: status field, progress ring and Update button above the application menu.
#include "ui/mainwindow.h"

#include "ui/statuslayout.h"

#include <QIcon>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    ui.setupUi(this);
    // The layout is fixed (see resize_app_window): nothing to maximise.
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    setWindowIcon(QIcon(QStringLiteral(":/icons/AppIcon.png")));
    ui.progressText->setPreferredMaxLayoutWidth(StatusLayout::kFittingWidth);
    // The ring sits in the upper part of the tall layout; the compact layout leaves it above
    // the top edge, where it is hidden anyway.
    ui.contentView->setFrameOf(ui.myProgressView, {150, 122, 140, 140});
    ui.contentView->setFrameOf(ui.button_update,
                               {StatusLayout::kButtonX, StatusLayout::kCompactButtonY, 200, 32});

    // Desktop conventions without a meaning here keep their place in the menu but do nothing;
    // the updater has no settings.
    ui.actionPreferences->setEnabled(false);
    ui.actionServices->setEnabled(false);
    ui.actionHideOthers->setEnabled(false);
    ui.actionShowAll->setEnabled(false);
    ui.actionQuit->setShortcut(QKeySequence::Quit);
    ui.actionQuit->setMenuRole(QAction::NoRole);
    ui.actionAbout->setMenuRole(QAction::NoRole);
    ui.actionPreferences->setMenuRole(QAction::NoRole);
    connect(ui.actionHide, &QAction::triggered, this, &QWidget::showMinimized);
    connect(ui.actionQuit, &QAction::triggered, this, &QWidget::close);
}
