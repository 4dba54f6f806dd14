#include "app/detail/SplitsSection.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/widgets/StatRow.h"

namespace vantrel {

namespace {

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

QTableWidgetItem* cell(const QString& value, Qt::Alignment alignment) {
    auto* item = new QTableWidgetItem(value);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    return item;
}

}  // namespace

SplitsSection::SplitsSection(RideDetail& detail, const PersistedRide& ride, UnitSystem system,
                             Preferences& preferences, QWidget* parent)
    : QGroupBox(QStringLiteral("Splits"), parent),
      m_detail(detail),
      m_ride(ride),
      m_unitSystem(system),
      m_preferences(preferences),
      m_choice(new QButtonGroup(this)),
      m_table(new QTableWidget(0, 3)) {
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buildChoice());

    m_table->setAccessibleName(QStringLiteral("Splits"));
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setAlternatingRowColors(true);
    layout->addWidget(m_table);

    auto* form = StatRow::makeForm(nullptr);
    m_averagePace = StatRow::add(form, "timer", QStringLiteral("Average Pace"), QString());
    layout->addLayout(form);
    auto* note = new QLabel(QStringLiteral("Elevation shows the net gain or loss per split."));
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(note);
    fillTable();
}

QHBoxLayout* SplitsSection::buildChoice() {
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    std::vector<SplitDistance> offered = offeredSplitDistances(m_unitSystem);
    // A length remembered under the other unit system stays selectable, so the choice always
    // shows what the table is computed for.
    if (std::find(offered.begin(), offered.end(), m_detail.splitDistance) == offered.end()) {
        offered.push_back(m_detail.splitDistance);
    }
    for (SplitDistance distance : offered) {
        auto* button = new QToolButton;
        button->setText(text(pickerLabel(distance)));
        button->setAccessibleName(button->text());
        button->setCheckable(true);
        button->setChecked(distance == m_detail.splitDistance);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        // The chosen segment must stand out from the others at a glance.
        button->setStyleSheet(QStringLiteral(
            "QToolButton:checked { background: palette(highlight); color: "
            "palette(highlighted-text); border: 1px solid palette(highlight); padding: 3px; }"));
        m_choice->addButton(button, static_cast<int>(distance));
        row->addWidget(button);
    }
    m_choice->setExclusive(true);
    connect(m_choice, &QButtonGroup::idClicked, this,
            [this](int id) { choose(static_cast<SplitDistance>(id)); });
    return row;
}

void SplitsSection::choose(SplitDistance distance) {
    if (QAbstractButton* button = m_choice->button(static_cast<int>(distance))) {
        button->setChecked(true);
    }
    pickSplitDistance(m_detail, m_ride, distance, m_unitSystem, m_preferences);
    fillTable();
}

QStringList SplitsSection::choiceLabels() const {
    QStringList labels;
    for (QAbstractButton* button : m_choice->buttons()) labels << button->text();
    return labels;
}

void SplitsSection::fillTable() {
    m_table->setHorizontalHeaderLabels({QStringLiteral("Split"),
                                        text(shortLabel(m_detail.splitDistance)),
                                        QStringLiteral("Elevation")});
    m_table->setRowCount(static_cast<int>(m_detail.splits.size()));
    int row = 0;
    for (const MileSplit& split : m_detail.splits) {
        m_table->setItem(row, 0, cell(QString::number(split.number), Qt::AlignLeft));
        m_table->setItem(row, 1,
                         cell(QString::fromStdString(formatPace(split.pace)), Qt::AlignHCenter));
        m_table->setItem(
            row, 2,
            cell(QString::fromStdString(formatElevationChange(split.elevationChange, m_unitSystem)),
                 Qt::AlignRight));
        ++row;
    }
    // The table shows every row; the detail column scrolls, not the table.
    int height = m_table->horizontalHeader()->sizeHint().height() + 2 * m_table->frameWidth();
    for (int i = 0; i < m_table->rowCount(); ++i) height += m_table->rowHeight(i);
    m_table->setFixedHeight(height);
    m_averagePace->setText(m_detail.averagePace
                               ? QString::fromStdString(formatPace(*m_detail.averagePace))
                               : QStringLiteral("--"));
}

}  // namespace vantrel
