#include "utilities/Informationsemiconductor.h"

#include "analysis/data/SemiconductorInfo.h"

#include <QAbstractItemView>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QVBoxLayout>

namespace {

QLabel* plainLabel(const QString& name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

template <std::size_t N>
QGroupBox* labelGroup(const QString& title, const QString& name, const QString& labelPrefix,
                      std::array<QLabel*, N>& labels, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    auto* layout = new QVBoxLayout(box);
    for (std::size_t i = 0; i < N; ++i) {
        labels[i] = plainLabel(labelPrefix + QString::number(i + 1), box);
        layout->addWidget(labels[i]);
    }
    layout->addStretch(1);
    return box;
}

} // namespace

TFormInformation::TFormInformation(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormInformation");
    setWindowTitle("Semiconductor Data used in VORN");

    StringGridMaterial = new QTableWidget(seminfo::rowCount, seminfo::columnCount, this);
    StringGridMaterial->setObjectName("StringGridMaterial");
    // The first row and column are part of the grid (they are cells like the
    // others), so the toolkit's own headers stay hidden.
    StringGridMaterial->horizontalHeader()->hide();
    StringGridMaterial->verticalHeader()->hide();
    StringGridMaterial->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGridMaterial->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGridMaterial->setWordWrap(false);

    GroupBoxReferences =
        labelGroup("References", "GroupBoxReferences", "LabelReference", LabelReference, this);
    GroupBoxComments = labelGroup("Comments", "GroupBoxComments", "LabelComment", LabelComment, this);
    GroupBoxNotes = labelGroup("Notes", "GroupBoxNotes", "LabelNote", LabelNote, this);

    auto* groups = new QHBoxLayout;
    groups->addWidget(GroupBoxReferences, 3);
    groups->addWidget(GroupBoxComments, 3);
    groups->addWidget(GroupBoxNotes, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StringGridMaterial, 1);
    layout->addLayout(groups);

    prepare();
    StringGridMaterial->resizeColumnsToContents();
    resize(1200, 820);
}

void TFormInformation::prepare()
{
    QTableWidget* grid = StringGridMaterial;
    grid->setRowCount(seminfo::rowCount);
    grid->setColumnCount(seminfo::columnCount);
    const QBrush fixedBackground = grid->palette().brush(QPalette::Button);
    QFont fixedFont = grid->font();
    fixedFont.setBold(true);
    for (int r = 0; r < seminfo::rowCount; ++r) {
        for (int c = 0; c < seminfo::columnCount; ++c) {
            QTableWidgetItem* item = grid->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                grid->setItem(r, c, item);
            }
            item->setText(QString::fromUtf8(seminfo::cell(r, c)));
            if (r == 0 || c == 0) {
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(fixedBackground);
                item->setFont(fixedFont);
            } else {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            }
        }
    }
    for (std::size_t i = 0; i < LabelReference.size(); ++i)
        LabelReference[i]->setText(QString::fromUtf8(seminfo::references()[i]));
    for (std::size_t i = 0; i < LabelComment.size(); ++i)
        LabelComment[i]->setText(QString::fromUtf8(seminfo::comments()[i]));
    for (std::size_t i = 0; i < LabelNote.size(); ++i)
        LabelNote[i]->setText(QString::fromUtf8(seminfo::notes()[i]));
}
