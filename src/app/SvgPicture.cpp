// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SvgPicture.h"

#include <QPainter>

SvgPicture::SvgPicture(const QString &fileName, QWidget *parent)
    : QWidget(parent), m_fileName(fileName), m_renderer(fileName)
{
    m_renderer.setAspectRatioMode(Qt::KeepAspectRatio);
}

QPixmap SvgPicture::rendered()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_cache.size() != pixels || !qFuzzyCompare(m_cache.devicePixelRatio(), ratio)) {
        m_cache = QPixmap(pixels);
        m_cache.fill(Qt::transparent);
        QPainter painter(&m_cache);
        painter.setRenderHint(QPainter::Antialiasing);
        m_renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
        painter.end();
        m_cache.setDevicePixelRatio(ratio);
    }
    return m_cache;
}

void SvgPicture::paintEvent(QPaintEvent *)
{
    if (!m_renderer.isValid() || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, rendered());
}
