#include "escp/epson/InternationalSets.h"

#include <array>
#include <string_view>

namespace quillon::epson {

namespace {

// The twelve positions, in the order of the rows below.
constexpr std::array<uint8_t, 12> kPositions{0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D,
                                             0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};

// One row a set, for the positions above.
constexpr std::u16string_view kSets[] = {
    u"#$@[\\]^`{|}~",  // 0 USA
    u"#$à°ç§^`éùè¨",   // 1 France
    u"#$§ÄÖÜ^`äöüß",   // 2 Germany
    u"£$@[\\]^`{|}~",  // 3 United Kingdom
    u"#$@ÆØÅ^`æøå~",   // 4 Denmark I
    u"#¤ÉÄÖÅÜéäöåü",   // 5 Sweden
    u"#$@°\\é^ùàòèì",  // 6 Italy
    u"₧$@¡Ñ¿^`¨ñ}~",   // 7 Spain I
    u"#$@[¥]^`{|}~",   // 8 Japan
    u"#¤ÉÆØÅÜéæøåü",   // 9 Norway
    u"#$ÉÆØÅÜéæøåü",   // 10 Denmark II
    u"#$á¡Ñ¿é`íñóú",   // 11 Spain II
    u"#$á¡Ñ¿éüíñóú",   // 12 Latin America
    u"#$@[₩]^`{|}~",   // 13 Korea
};
constexpr std::u16string_view kLegal = u"#$§°’”¶`©®†™"; // 64

std::u16string_view row(int set)
{
    if (set >= 0 && set < int(std::size(kSets)))
        return kSets[set];
    return set == 64 ? kLegal : std::u16string_view();
}

} // namespace

bool isInternationalSet(int n) { return !row(n).empty(); }

char16_t internationalCharacter(int set, uint8_t byte)
{
    const std::u16string_view r = row(set);
    if (set == 0 || r.size() != kPositions.size())
        return 0;
    for (size_t i = 0; i < kPositions.size(); ++i)
        if (kPositions[i] == byte)
            return r[i] == char16_t(byte) ? 0 : r[i];
    return 0;
}

} // namespace quillon::epson
