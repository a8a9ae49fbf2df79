// What instruments write: the Hall coefficient or the Hall voltage per
// temperature, in K or degrees Celsius and T or G, converted to n = r_H/(q|R_H|)
// with the conduction type from the sign of R_H.
#include "analysis/data/DataEntry.h"

#include <gtest/gtest.h>

using namespace dataentry;
using Q = Columns::Quantity;

namespace {

constexpr double q = 1.602176634e-19;

struct HallCase {
    const char* name;
    const char* text;             // two or three points
    Columns columns;
    SampleForm form;
    bool ready;
    const char* type;             // expected conduction type
    double firstT, firstN;        // the first converted point
    bool signChange;
    const char* message;          // part of the refusal
};

SampleForm form(const char* type, const char* thickness = "0", const char* field = "0", const char* current = "0")
{
    SampleForm f;
    f.conductionType = type;
    f.thickness = thickness;
    f.magneticField = field;
    f.current = current;
    return f;
}

Columns cols(Q quantity, double hallFactor = 1, bool celsius = false, bool gauss = false, int current = -1, int field = -1)
{
    Columns c{0, 1, -1};
    c.quantity = quantity;
    c.hallFactor = hallFactor;
    c.celsius = celsius;
    c.gauss = gauss;
    c.current = current;
    c.field = field;
    return c;
}

} // namespace

TEST(HallConversion, EveryUnitAndSign)
{
    // R_H = V_H d / (I B): 1 mV, 500 um, 0.1 mA, 0.5 T give 1E4 cm^3/C.
    const HallCase cases[] = {
        {"negative R_H: n-type", "100 -2000\n200 -1000\n", cols(Q::HallCoefficient), form(""), true, "n-type",
         100, 1 / (q * 2000), false, ""},
        {"positive R_H: p-type", "100 50\n200 25\n", cols(Q::HallCoefficient), form(""), true, "p-type", 100,
         1 / (q * 50), false, ""},
        {"Hall factor", "100 -2000\n200 -1000\n", cols(Q::HallCoefficient, 1.18), form(""), true, "n-type", 100,
         1.18 / (q * 2000), false, ""},
        {"degrees Celsius", "-173.15 -2000\n26.85 -1000\n", cols(Q::HallCoefficient, 1, true), form(""), true,
         "n-type", 100, 1 / (q * 2000), false, ""},
        {"Hall voltage, the form's current and field in T", "100 -1e-3\n200 -2e-3\n", cols(Q::HallVoltage),
         form("", "500", "0.5", "1e-4"), true, "n-type", 100, 1 / (q * 1e4), false, ""},
        {"Hall voltage, field in G", "100 1e-3\n200 2e-3\n", cols(Q::HallVoltage, 1, false, true),
         form("", "500", "5000", "1e-4"), true, "p-type", 100, 1 / (q * 1e4), false, ""},
        {"Hall voltage, current and field columns in G", "100 1e-3 2e-4 2500\n200 2e-3 1e-4 5000\n",
         cols(Q::HallVoltage, 1, false, true, 2, 3), form("", "500"), true, "p-type", 100, 1 / (q * 1e4), false, ""},
        {"sign changes: the majority's type and a warning", "100 20\n200 -1000\n300 -500\n",
         cols(Q::HallCoefficient), form(""), true, "n-type", 100, 1 / (q * 20), true, ""},
        {"the type given agrees", "100 -2000\n200 -1000\n", cols(Q::HallCoefficient), form("n-type"), true,
         "n-type", 100, 1 / (q * 2000), false, ""},
        {"the type given contradicts the sign", "100 -2000\n200 -1000\n", cols(Q::HallCoefficient),
         form("p-type"), false, "", 0, 0, false, "gives an n-type sample, not p-type"},
        {"R_H of 0", "100 0\n200 -1000\n", cols(Q::HallCoefficient), form(""), false, "", 0, 0, false,
         "at T = 100 K is 0"},
        {"Hall voltage without current", "100 -1e-3\n200 -2e-3\n", cols(Q::HallVoltage), form("", "500", "0.5"),
         false, "", 0, 0, false, "is 0 or not a number"},
        {"Hall factor of 0", "100 -2000\n200 -1000\n", cols(Q::HallCoefficient, 0), form(""), false, "", 0, 0,
         false, "Hall factor"},
        {"concentration in G: the form's field in T", "100 1e15\n200 2e15\n",
         cols(Q::Concentration, 1, false, true), form("n-type", "0", "5000"), true, "n-type", 100, 1e15, false, ""},
    };
    for (const HallCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SaveCheck s = checkConversion(c.text, c.columns, c.form);
        ASSERT_EQ(s.ready(), c.ready) << s.message;
        if (!c.ready) {
            EXPECT_NE(s.message.find(c.message), std::string::npos) << s.message;
            continue;
        }
        EXPECT_EQ(s.form.conductionType, c.type);
        EXPECT_DOUBLE_EQ(s.points.temperature[0], c.firstT);
        EXPECT_NEAR(s.points.concentration[0] / c.firstN, 1, 1e-12);
        EXPECT_EQ(!s.signChangeNote.empty(), c.signChange) << s.signChangeNote;
        if (c.columns.gauss) {
            EXPECT_DOUBLE_EQ(s.magneticField, c.columns.field >= 0 ? 0 : 0.5);
        }
        // The factor goes into the comment, which every result file's header carries.
        if (c.columns.quantity != Q::Concentration) {
            EXPECT_NE(s.form.comment.find("r_H = "), std::string::npos);
        }
    }
}
