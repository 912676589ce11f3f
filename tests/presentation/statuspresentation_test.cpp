// Status texts: the format rule every localised text goes through, then texts reaching the real
// main window: the fitted font, a field that holds its whole text, placement by the layout flags in
// window layouts the user cannot stretch, and the order of updates from another thread. Then what
// assistive technology reads of the window, and the confirmation sheet answered from the keyboard.
#include "app/appdelegate.h"
#include "tests/support/testsupport.h"
#include "ui/contentview.h"
#include "ui/hyperlinktextfield.h"
#include "text/localization.h"
#include "ui/progressview.h"
#include "ui/statuslayout.h"
#include "ui/textmeasure.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <thread>

namespace {

// Sequential and positional placeholders, percent signs, and arguments missing or to spare: each
// case of data/textformat.json is a format, what it gives with the arguments "A" and "B", and maybe why.
TEST(TextFormat, Placeholders)
{
    QFile file(QStringLiteral(LUMIVEX_PRESENTATION_DATA "/textformat.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray cases = QJsonDocument::fromJson(file.readAll()).array();
    ASSERT_GE(cases.size(), 10);
    for (const QJsonValue &c : cases)
        EXPECT_EQ(formatText(c[0].toString(), {QStringLiteral("A"), QStringLiteral("B")}), c[1].toString()) << c[0].toString().toStdString();
}

struct StatusPresentation : testing::Test
{
    StatusPresentation()
    {
        window.show();
        delegate.applicationDidFinishLaunching();
        drainMainQueue();
    }
    Rect frameOf(const QWidget *w) const { return window.ui.contentView->frameOf(w); }

    ScratchFolder folder;
    MainWindow window;
    AppDelegate delegate{window, Resources(folder.path())};
};

// Each text is fitted, sized to hold it all, logged with its frame and placed by the layout that
// governs when it runs, one changed after the text was queued too; whatever the layout, the window
// keeps its lower-left corner (the screen has room for it) and the user cannot stretch it. A short
// prompt after a long message that was shown smaller: sized in the smaller font, the field would
// cut the prompt's second line off. Nothing fits the unbreakable text, not even at 1: it shows in
// the platform's default size and no size is logged.
TEST_F(StatusPresentation, EachTextIsFittedSizedLoggedAndPlacedByTheLayout)
{
    window.move(100, 200); // room above for the ring layout (at the screen's edge: WindowPlacement)
    const QRect before = window.frameGeometry();
    const double buttonHeight = frameOf(delegate.button_update).height;
    const double ringHeight = frameOf(delegate.myProgressView).height;
    struct Row { QString text; int fitted; bool ring, button; int height; double buttonY; }; // fitted: -1 for "smaller than 16"
    const Row rows[] = {{QStringLiteral("Short."), 16, true, true, 300, 30},
                        {QString(), 16, false, true, 160, 10},
                        {QStringLiteral("firmware ").repeated(30), -1, true, false, 300, 30},
                        {QStringLiteral("Please connect your LUMIVEX T camera."), 16, false, false, 160, 10},
                        {QString(4000, QLatin1Char('W')), 0, false, true, 160, 10}};
    static const QRegularExpression match(QStringLiteral("^match font: (\\d+) for string: (.*) with rect: \\{\\{0, 0\\}, \\{"),
                                          QRegularExpression::MultilineOption);
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.text.left(40).toStdString() << " ring " << row.ring << " button " << row.button);
        StderrCapture log;
        delegate.update_status_text(row.text);
        delegate.resize_app_window(row.ring, row.button);
        drainMainQueue();
        const QString text = log.text();
        HyperlinkTextField *field = delegate.progressText;
        const Rect frame = frameOf(field);
        EXPECT_TRUE(text.endsWith(QStringLiteral("progressText.frame text: %1. rect: %2\n").arg(row.text, describeRect(frame))));
        const QRegularExpressionMatch m = match.match(text);
        const int fitted = m.captured(1).toInt();
        if (row.fitted == 0)
            EXPECT_TRUE(!m.hasMatch() && field->font() == systemFontOfSize(0));
        else
            EXPECT_TRUE(m.captured(2).startsWith(row.text) && (row.fitted < 0 ? fitted < 16 : fitted == row.fitted)
                        && field->font().pixelSize() == fitted - 1) << fitted;
        HyperlinkTextField probe;
        probe.setPreferredMaxLayoutWidth(field->preferredMaxLayoutWidth());
        probe.setFont(field->font());
        probe.setStringValue(row.text);
        EXPECT_EQ(frame.size(), (Size{double(probe.naturalSize().width()), double(probe.naturalSize().height())}));
        const Size parent = window.ui.contentView->boundsSize();
        const double below = row.ring ? StatusLayout::kRingLift - ringHeight / 2 : row.button ? buttonHeight / 2 : 0;
        EXPECT_NEAR(frame.x + frame.width / 2, parent.width / 2, 0.5);
        EXPECT_NEAR(frame.y + frame.height / 2, parent.height / 2 + below, 0.5);
        EXPECT_TRUE(frameOf(delegate.button_update).x == 120 && frameOf(delegate.button_update).y == row.buttonY);

        EXPECT_EQ(window.frameGeometry(), QRect(before.left(), before.bottom() + 1 - row.height, 440, row.height));
        const QSize laidOut = window.size();
        window.resize(laidOut * 2);
        window.showMaximized();
        drainMainQueue();
        EXPECT_TRUE(window.size() == laidOut && window.minimumSize() == laidOut && window.maximumSize() == laidOut);
        window.showNormal();
    }
}

TEST_F(StatusPresentation, UpdatesFromAnotherThreadAppearInCallOrder)
{
    StderrCapture log;
    std::thread worker([this] {
        for (int i = 0; i < 20; ++i)
            delegate.update_status_text(QStringLiteral("step %1").arg(i));
        delegate.update_progress_bar(95, QStringLiteral("step 20"));
        delegate.update_status_text(QStringLiteral("step 21")); // must not overtake the progress text
    });
    worker.join();
    drainMainQueue();

    int next = 0;
    for (const QString &l : log.lines().filter(QStringLiteral("progressText.frame text: step ")))
        EXPECT_EQ(l.section(u' ', 3, 3).chopped(1), QString::number(next++));
    EXPECT_EQ(next, 22);
    EXPECT_EQ(delegate.myProgressView->progress(), 95);
}

// The three controls read as a button, a static text named by the status and a progress bar from 0
// to 100 with the ring's value; each describes itself from the string tables (a key missing from
// them would read as the key). A new status is announced as the field's new name, a new value of
// the ring as a value change; a status or a value shown again is not news.
TEST_F(StatusPresentation, ControlsReadByAssistiveTechnologyAnnounceTheirChanges)
{
    static QStringList heard;
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true); // as a screen reader would
    QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
        if (event->type() == QAccessible::NameChanged && qobject_cast<HyperlinkTextField *>(event->object()))
            heard << event->accessibleInterface()->text(QAccessible::Name);
        if (event->type() == QAccessible::ValueChanged)
            heard << static_cast<QAccessibleValueChangeEvent *>(event)->value().toString();
    });
    for (const float percent : {10.0f, 10.0f, 42.25f})
        delegate.update_progress_bar(percent, QStringLiteral("Writing."));
    drainMainQueue();
    QAccessible::installUpdateHandler(nullptr);
    EXPECT_EQ(heard, QStringList({"Writing.", "10", "42.25"}));

    struct Row { QWidget *widget; QAccessible::Role role; };
    for (const Row row : {Row{delegate.button_update, QAccessible::Button}, Row{delegate.progressText, QAccessible::StaticText},
                          Row{delegate.myProgressView, QAccessible::ProgressBar}}) {
        const QAccessibleInterface *face = QAccessible::queryAccessibleInterface(row.widget);
        const QString name = face->text(QAccessible::Name), description = face->text(QAccessible::Description);
        EXPECT_TRUE(face->role() == row.role && !name.isEmpty() && !name.startsWith(u"Accessible_") && !description.isEmpty()
                    && !description.startsWith(u"Accessible_")) << name.toStdString() << description.toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(delegate.progressText)->text(QAccessible::Name), QStringLiteral("Writing."));
    QAccessibleInterface *ring = QAccessible::queryAccessibleInterface(delegate.myProgressView);
    const QAccessibleValueInterface *value = ring->valueInterface();
    ASSERT_TRUE(value);
    EXPECT_TRUE(value->minimumValue() == 0.0 && value->maximumValue() == 100.0 && value->currentValue() == 42.25);
    EXPECT_EQ(ring->text(QAccessible::Value), QStringLiteral("42%"));
}

// Return on the sheet answers OK, Escape Cancel, each sent where the keyboard's focus is.
TEST_F(StatusPresentation, TheSheetIsAnsweredFromTheKeyboard)
{
    for (const auto &[key, role] : {std::pair{Qt::Key_Return, QMessageBox::AcceptRole}, {Qt::Key_Escape, QMessageBox::RejectRole}}) {
        delegate.Patch_Firmware();
        QPointer<QMessageBox> sheet = window.findChild<QMessageBox *>();
        ASSERT_TRUE(sheet);
        QMessageBox::ButtonRole answered = QMessageBox::InvalidRole;
        QObject::connect(sheet, &QMessageBox::buttonClicked, [&](QAbstractButton *b) { answered = sheet->buttonRole(b); });
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(sheet->focusWidget() ? sheet->focusWidget() : sheet.data(), &press);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(answered == role && !sheet);
    }
}

} // namespace
