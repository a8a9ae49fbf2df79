// The four ways the automatic calculation measures how far a candidate curve
// deviates from the H function, and their one list of names. The analysis
// keeps the chosen name as text because the file headers carry it as the
// evaluation-type window shows it; every comparison goes through here.
#pragma once

#include <array>
#include <string>

enum class EvaluationType { A, B, C, D };

namespace evaltype {

inline constexpr std::array<const char*, 4> kNames = {"Type-A", "Type-B", "Type-C", "Type-D"};
inline constexpr EvaluationType kDefault = EvaluationType::B;

inline const char* name(EvaluationType t) { return kNames[static_cast<std::size_t>(t)]; }

// The type `text` names exactly; false for any other text.
inline bool parse(const std::string& text, EvaluationType& t)
{
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (text == kNames[i]) {
            t = static_cast<EvaluationType>(i);
            return true;
        }
    return false;
}

// The type a stored text selects: a text that names none counts as the default.
inline EvaluationType of(const std::string& text)
{
    EvaluationType t = kDefault;
    return parse(text, t) ? t : kDefault;
}

// "Type-A, Type-B, Type-C or Type-D" for messages.
inline std::string listText()
{
    std::string s;
    for (std::size_t i = 0; i < kNames.size(); ++i)
        s += std::string(i == 0 ? "" : i + 1 == kNames.size() ? " or " : ", ") + kNames[i];
    return s;
}

} // namespace evaltype
