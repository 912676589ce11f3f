// The circular progress indicator of the main window.
#pragma once

#include <QWidget>

class ProgressView : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressView(QWidget *parent = nullptr);

    double progress() const { return mProgress; }
    void setProgress(double percent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double mProgress = 0;
};
