#include "analysis/base/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace numfmt {
namespace {

// Decimal digits of |value| rounded to `sig` significant digits:
// value = 0.d1d2d3... * 10^exponent. Digits carry no trailing zeros.
struct Decimal {
    std::string digits;
    int exponent = 0;
    bool negative = false;
};

// Exact-enough decimal expansion (17 significant digits identify a double).
Decimal expand(double value)
{
    Decimal d;
    d.negative = std::signbit(value);
    double a = std::fabs(value);
    if (a == 0) {
        d.digits = "0";
        d.exponent = 1;
        return d;
    }
    // to_chars is locale-independent, unlike printf.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 16);
    // buf: d.dddddddddddddddde[+-]xx
    std::string s(buf, res.ptr);
    std::size_t e = s.find('e');
    d.digits = s.substr(0, 1) + s.substr(2, e - 2);
    d.exponent = std::atoi(s.c_str() + e + 1) + 1;
    return d;
}

// Keep `count` leading digits, rounding half away from zero on the decimal
// text; count may be 0 or negative (value rounds to 0 or to one unit).
void roundDigits(Decimal& d, int count)
{
    if (count < 0) {
        d.digits = "0";
        d.exponent = 1;
        return;
    }
    if (static_cast<int>(d.digits.size()) <= count)
        return;
    bool up = d.digits[count] >= '5';
    std::string kept = d.digits.substr(0, count);
    if (up) {
        int i = count - 1;
        while (i >= 0 && kept[i] == '9') {
            kept[i] = '0';
            --i;
        }
        if (i < 0) {
            kept.insert(kept.begin(), '1');
            d.exponent += 1;
        } else {
            kept[i] += 1;
        }
    }
    if (kept.empty())
        kept = "0";
    d.digits = kept;
}

void trimZeros(Decimal& d)
{
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits == "0")
        d.exponent = 1;
}

bool isZero(const Decimal& d)
{
    return d.digits.find_first_not_of('0') == std::string::npos;
}

std::string trimBlanks(const std::string& text)
{
    std::size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    std::size_t e = text.find_last_not_of(" \t\r\n");
    return text.substr(b, e - b + 1);
}

} // namespace

std::string general(double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    Decimal d = expand(value);
    roundDigits(d, 15);
    trimZeros(d);
    if (isZero(d))
        return "0";
    std::string out = d.negative ? "-" : "";
    if (d.exponent > 15 || d.exponent < -3) {
        out += d.digits[0];
        if (d.digits.size() > 1)
            out += "." + d.digits.substr(1);
        out += "E" + std::to_string(d.exponent - 1);
        return out;
    }
    if (d.exponent <= 0) {
        out += "0." + std::string(-d.exponent, '0') + d.digits;
    } else if (static_cast<int>(d.digits.size()) <= d.exponent) {
        out += d.digits + std::string(d.exponent - d.digits.size(), '0');
    } else {
        out += d.digits.substr(0, d.exponent) + "." + d.digits.substr(d.exponent);
    }
    return out;
}

std::string g(double value)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, res.ptr);
}

std::string exact(double value)
{
    char buf[64];
    std::to_chars_result res{};
    for (int digits = 6; digits <= 17; ++digits) {
        res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
        double back = 0;
        const auto read = std::from_chars(buf, res.ptr, back);
        if (read.ec == std::errc() && back == value)
            break;
    }
    return std::string(buf, res.ptr);
}

std::string density(double value) { return pattern(value, kDensityPattern); }
std::string energy(double value) { return pattern(value, kEnergyPattern); }
std::string degeneracy(double value) { return pattern(value, kDegeneracyPattern); }
std::string threeDigits(double value) { return pattern(value, kDensityPattern); }

std::string pattern(double value, const std::string& pat)
{
    // Split the pattern into integer placeholders, decimal placeholders and
    // the exponent part.
    std::size_t ePos = pat.find_first_of("Ee");
    std::string mantissaPat = pat.substr(0, ePos);
    std::string expPat = ePos == std::string::npos ? "" : pat.substr(ePos);
    std::size_t dot = mantissaPat.find('.');
    std::string intPat = mantissaPat.substr(0, dot);
    std::string decPat = dot == std::string::npos ? "" : mantissaPat.substr(dot + 1);
    int intZeros = 0;
    for (char c : intPat)
        intZeros += c == '0';
    int minDec = 0;
    int maxDec = static_cast<int>(decPat.size());
    for (int i = 0; i < maxDec; ++i)
        if (decPat[i] == '0')
            minDec = i + 1;

    if (!std::isfinite(value))
        return general(value);
    Decimal d = expand(value);
    std::string intText, decText;
    std::string expText;
    if (!expPat.empty()) {
        // Scientific: as many integer digits as integer placeholders (at least one).
        int intDigits = std::max<int>(1, static_cast<int>(intPat.size()));
        int exp10 = 0;
        if (!isZero(d)) {
            roundDigits(d, intDigits + maxDec);
            exp10 = d.exponent - intDigits;
        }
        std::string digits = d.digits;
        if (isZero(d))
            digits = "0";
        digits.resize(intDigits + maxDec, '0');
        intText = digits.substr(0, intDigits);
        decText = digits.substr(intDigits);
        bool alwaysSign = expPat.size() > 1 && expPat[1] == '+';
        int expZeros = 0;
        for (char c : expPat)
            expZeros += c == '0';
        std::string ed = std::to_string(std::abs(exp10));
        if (static_cast<int>(ed.size()) < expZeros)
            ed.insert(0, expZeros - ed.size(), '0');
        expText = std::string(1, expPat[0]);
        if (exp10 < 0)
            expText += "-";
        else if (alwaysSign)
            expText += "+";
        expText += ed;
    } else {
        // Fixed: round to maxDec decimals.
        roundDigits(d, d.exponent + maxDec);
        std::string digits = isZero(d) ? "0" : d.digits;
        int exponent = isZero(d) ? 1 : d.exponent;
        if (exponent <= 0) {
            intText = "";
            decText = std::string(-exponent, '0') + digits;
        } else {
            if (static_cast<int>(digits.size()) < exponent)
                digits.append(exponent - digits.size(), '0');
            intText = digits.substr(0, exponent);
            decText = digits.substr(exponent);
        }
        decText.resize(maxDec, '0');
        // Leading zeros of the integer part only as far as placeholders demand.
        std::size_t nz = intText.find_first_not_of('0');
        intText = nz == std::string::npos ? "" : intText.substr(nz);
        if (static_cast<int>(intText.size()) < intZeros)
            intText.insert(0, intZeros - intText.size(), '0');
    }
    while (static_cast<int>(decText.size()) > minDec && decText.back() == '0')
        decText.pop_back();
    bool zero = intText.find_first_not_of('0') == std::string::npos &&
                decText.find_first_not_of('0') == std::string::npos;
    std::string out = (d.negative && !zero) ? "-" : "";
    out += intText;
    if (!decText.empty())
        out += "." + decText;
    out += expText;
    return out;
}

bool parseDouble(const std::string& text, double& value)
{
    std::string t = trimBlanks(text);
    if (t.empty())
        return false;
    const char* b = t.data();
    const char* e = b + t.size();
    if (*b == '+') {
        ++b;
        if (b == e || *b == '+' || *b == '-')
            return false;
    }
    double v = 0;
    auto [ptr, ec] = std::from_chars(b, e, v, std::chars_format::general);
    if (ec != std::errc() || ptr != e || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool parseInt(const std::string& text, int& value)
{
    std::string t = trimBlanks(text);
    if (t.empty())
        return false;
    const char* b = t.data();
    const char* e = b + t.size();
    if (*b == '+')
        ++b;
    int v = 0;
    auto [ptr, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || ptr != e)
        return false;
    value = v;
    return true;
}

std::string notValidFloat(const std::string& text)
{
    return "'" + text + "' is not a valid floating point value";
}

std::string notValidInteger(const std::string& text)
{
    return "'" + text + "' is not a valid integer value";
}

} // namespace numfmt
