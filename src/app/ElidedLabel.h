// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QResizeEvent>

// A one-line label for texts that may be longer than its room: it shows as much as fits
// with "…" where it is cut, and the whole text as its tool tip.
class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setFullText(text);
    }

    void setFullText(const QString &text)
    {
        m_fullText = text;
        setToolTip(text);
        showElided();
    }
    QString fullText() const { return m_fullText; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        showElided();
    }

private:
    void showElided()
    {
        setText(fontMetrics().elidedText(m_fullText, Qt::ElideRight, contentsRect().width()));
    }

    QString m_fullText;
};
