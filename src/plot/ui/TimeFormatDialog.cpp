// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/ui/TimeFormatDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString ReadingName(const TimeFormatCandidate &candidate)
{
    return candidate.localeNames.isEmpty()
               ? candidate.pattern
               : QStringLiteral("%1  (%2)")
                     .arg(candidate.pattern, candidate.localeNames.join(QStringLiteral(", ")));
}

QTableWidgetItem *Cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

} // namespace

TimeFormatDialog::TimeFormatDialog(const QString &fileName, const TimeFormatQuestion &question,
                                   QWidget *parent)
    : QDialog(parent), m_preview(new QTableWidget), m_readings(new QListWidget)
{
    setWindowTitle(tr("How are the times written?"));
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(
        tr("The times in %1 can be read in more than one way, and its records do not tell "
           "which is right. Choose the way the computer that wrote the file writes dates.")
            .arg(fileName));
    intro->setWordWrap(true);
    layout->addWidget(intro);

    // The first lines, and the time each reading gives them.
    const int readingCount = int(question.candidates.size());
    m_preview->setColumnCount(2 + readingCount);
    QStringList headings{tr("Line"), tr("As written")};
    for (int c = 0; c < readingCount; ++c)
        headings.append(tr("Reading %1").arg(c + 1));
    m_preview->setHorizontalHeaderLabels(headings);
    m_preview->verticalHeader()->setVisible(false);
    m_preview->setRowCount(int(question.lines.size()));
    for (int row = 0; row < question.lines.size(); ++row) {
        m_preview->setItem(row, 0, Cell(QString::number(question.lineNumbers.value(row))));
        QString line = question.lines.at(row);
        m_preview->setItem(row, 1, Cell(line.replace(QLatin1Char('\t'), QStringLiteral("  "))));
        for (int c = 0; c < readingCount; ++c) {
            const QDateTime time = question.candidates.at(c).times.value(row);
            m_preview->setItem(row, 2 + c,
                               Cell(time.isValid()
                                        ? time.toString(QStringLiteral("ddd d MMM yyyy HH:mm:ss"))
                                        : tr("not read")));
        }
    }
    m_preview->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_preview, 1);

    layout->addWidget(new QLabel(tr("Read the times as:")));
    for (int c = 0; c < readingCount; ++c)
        m_readings->addItem(
            tr("Reading %1: %2").arg(c + 1).arg(ReadingName(question.candidates.at(c))));
    m_readings->setMaximumHeight(m_readings->sizeHintForRow(0) * (readingCount + 1) + 8);
    layout->addWidget(m_readings);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    connect(m_readings, &QListWidget::currentRowChanged, ok,
            [ok](int row) { ok->setEnabled(row >= 0); });
    connect(m_readings, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 420);
}

int TimeFormatDialog::chosen() const
{
    return m_readings->currentRow();
}

void TimeFormatDialog::choose(int candidate)
{
    m_readings->setCurrentRow(candidate);
}

int DialogTimeFormatChooser::choose(const TimeFormatQuestion &question)
{
    TimeFormatDialog dialog(m_fileName, question, m_parent);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : -1;
}
