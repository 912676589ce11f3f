// The main window: status field, progress ring and Update button above the application menu.
#pragma once

#include "ui_mainwindow.h"

#include <QMainWindow>

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);

    Ui::MainWindow ui;

    // The application menu: About at 0, Preferences at 2, Services at 4, Hide at 6, Hide Others
    // at 7, Show All at 8 and Quit at 10, separators between.
    QMenu *applicationMenu() const { return ui.applicationMenu; }
};
