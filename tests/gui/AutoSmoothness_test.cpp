// "Auto" beside the smoothness: usable exactly when "Calculation" is, and
// it puts the cross-validated smoothness into the field.
#include "HallTestSupport.h"
#include "analysis/base/NumberFormat.h"

class AutoSmoothnessTest : public MainWindowTest {};

TEST_F(AutoSmoothnessTest, FillsTheFieldWithTheCrossValidatedSmoothness)
{
    TFormMain* m = create(1);
    EXPECT_FALSE(m->ButtonAutoSmoothness->isEnabled());
    load(m, example("si_p_single.nT"));
    ASSERT_TRUE(m->ButtonCalcSpline->isEnabled()) << script.lastText().toStdString();
    EXPECT_TRUE(m->ButtonAutoSmoothness->isEnabled());
    m->ButtonAutoSmoothnessClick();
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    double chosen = 0;
    ASSERT_TRUE(numfmt::parseDouble(m->EditSmoothness->text().toStdString(), chosen));
    EXPECT_GT(chosen, 0);
    EXPECT_LT(chosen, 5000);
    // The field is what "Calculation" uses.
    m->ButtonCalcSplineClick();
    EXPECT_EQ(C.smoothness, chosen);
    // Loading a spline file disables both.
    m->ButtonCalcSpline->setEnabled(false);
    EXPECT_FALSE(m->ButtonAutoSmoothness->isEnabled());
}
