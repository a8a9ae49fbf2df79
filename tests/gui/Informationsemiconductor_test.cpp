#include "utilities/Informationsemiconductor.h"

#include <QGroupBox>
#include <QLabel>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace {

QString cellText(const TFormInformation& w, int row, int column)
{
    QTableWidgetItem* item = w.StringGridMaterial->item(row, column);
    return item ? item->text() : QString("<no item>");
}

} // namespace

TEST(FormInformation, GridHoldsEveryCellAsListed)
{
    TFormInformation w;
    w.prepare();
    EXPECT_EQ(w.windowTitle(), "Semiconductor Data used in VORN");
    QTableWidget* g = w.StringGridMaterial;
    ASSERT_EQ(g->rowCount(), 78);
    ASSERT_EQ(g->columnCount(), 13);
    for (int r = 0; r < 78; ++r)
        for (int c = 0; c < 13; ++c)
            ASSERT_NE(g->item(r, c), nullptr) << r << "," << c;

    EXPECT_EQ(cellText(w, 0, 0), "Material");
    EXPECT_EQ(cellText(w, 0, 8), "Dielectric constant e)");
    EXPECT_EQ(cellText(w, 0, 12), "References");
    EXPECT_EQ(cellText(w, 1, 10), "Indirect  a)"); // two blanks, as listed
    EXPECT_EQ(cellText(w, 1, 12), "1), 2)");
    EXPECT_EQ(cellText(w, 2, 2), "");               // GaAs has no ml
    EXPECT_EQ(cellText(w, 2, 7), "0.50");
    EXPECT_EQ(cellText(w, 25, 5), "?(1)");
    EXPECT_EQ(cellText(w, 29, 5), "? (1)");
    EXPECT_EQ(cellText(w, 34, 10), "Inirect b)");
    EXPECT_EQ(cellText(w, 44, 11), "2.14");
    EXPECT_EQ(cellText(w, 53, 1), "0.3 h)");
    EXPECT_EQ(cellText(w, 68, 9), "Antifluotite");
    EXPECT_EQ(cellText(w, 76, 11), "2.14[direct] (300 K)");
    EXPECT_EQ(cellText(w, 77, 0), "GaS");
    EXPECT_EQ(cellText(w, 77, 8), "5.9");
    EXPECT_EQ(cellText(w, 77, 12), "6)");
}

TEST(FormInformation, PrepareRestoresChangedCellsAndTheGridIsReadOnly)
{
    TFormInformation w;
    QTableWidget* g = w.StringGridMaterial;
    g->item(1, 1)->setText("changed");
    g->item(77, 12)->setText("");
    g->setRowCount(10);
    w.prepare();
    EXPECT_EQ(g->rowCount(), 78);
    EXPECT_EQ(cellText(w, 1, 1), "0.32");
    EXPECT_EQ(cellText(w, 77, 12), "6)");
    EXPECT_EQ(cellText(w, 40, 0), "CuAlTe2");
    EXPECT_EQ(g->editTriggers(), QAbstractItemView::NoEditTriggers);
    for (int r : {0, 1, 50})
        for (int c : {0, 5, 12})
            EXPECT_FALSE(g->item(r, c)->flags() & Qt::ItemIsEditable) << r << "," << c;
}

TEST(FormInformation, ReferencesCommentsAndNotes)
{
    TFormInformation w;
    w.prepare();
    EXPECT_EQ(w.GroupBoxReferences->title(), "References");
    EXPECT_EQ(w.GroupBoxComments->title(), "Comments");
    EXPECT_EQ(w.GroupBoxNotes->title(), "Notes");
    // The last grid column cites the entries by these numbers.
    for (int i = 0; i < 6; ++i) {
        const QString text = w.LabelReference[i]->text();
        EXPECT_TRUE(text.startsWith(QString::number(i + 1) + ") ")) << text.toStdString();
        EXPECT_GT(text.size(), 30);
    }
    EXPECT_EQ(w.LabelComment[0]->text(),
              "a) The lowest minima of the conduction band are located along the Delta-axes of the "
              "Brilliouin zone.");
    EXPECT_EQ(w.LabelComment[5]->text(), "f) The energy bandgap occures along the Gamma-M direction.");
    EXPECT_EQ(w.LabelComment[7]->text(),
              "h) This is the electron effective mass of the density of state for all valleys of "
              "conduction band.");
    EXPECT_EQ(w.LabelNote[0]->text(), "Examples of symbols");
    EXPECT_EQ(w.LabelNote[3]->text(), "?(10) : not reported, so tentatively assumed as 10 here.");
}
