// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QSvgRenderer>
#include <QWidget>

// A picture drawn from an SVG file at the widget's size, rendered for the screen's pixel
// density so it stays crisp when scaled. The rendering is kept until the size or the
// density changes.
class SvgPicture : public QWidget
{
    Q_OBJECT

public:
    explicit SvgPicture(const QString &fileName, QWidget *parent = nullptr);

    QString fileName() const { return m_fileName; }
    bool isValid() const { return m_renderer.isValid(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap rendered();

    QString m_fileName;
    QSvgRenderer m_renderer;
    QPixmap m_cache;
};
