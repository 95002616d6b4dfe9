#pragma once

#include <QWidget>

#include <functional>

/// A thin progress bar that seeks where it is clicked or dragged: a capsule track with the
/// played part in the accent colour. Left and Right keys step by a twentieth.
class Scrubber : public QWidget
{
    Q_OBJECT
public:
    static constexpr int barHeight = 6;

    explicit Scrubber(QWidget *parent = nullptr);

    double progress() const { return m_progress; }
    void setProgress(double progress);
    void setOnSeek(std::function<void(double)> handler) { m_onSeek = std::move(handler); }

    /// The fraction a pointer at `x` stands for on a bar `width` wide, limited to 0…1.
    static double fractionAt(double x, double width);

    QSize sizeHint() const override { return { 120, barHeight + 4 }; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void seekTo(double fraction);

    double m_progress = 0;
    std::function<void(double)> m_onSeek;
};
