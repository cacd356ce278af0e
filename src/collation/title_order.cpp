#include "collation/title_order.hpp"

#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>
#include <new>
#include <numeric>

namespace kdb2mid {

struct TitleCollator::Impl {
    std::unique_ptr<icu::Collator> collator;
};

TitleCollator::TitleCollator(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TitleCollator::~TitleCollator() = default;

std::unique_ptr<TitleCollator> TitleCollator::create() noexcept {
    try {
        UErrorCode status = U_ZERO_ERROR;
        auto impl = std::make_unique<Impl>();
        impl->collator.reset(icu::Collator::createInstance(icu::Locale("vi"), status));
        // A fallback to the root collation would sort đ after z: refused.
        if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || !impl->collator) {
            return nullptr;
        }
        return std::unique_ptr<TitleCollator>(new TitleCollator(std::move(impl)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::string TitleCollator::sortKey(std::string_view utf8) const {
    // Long titles are damage; their first 2 KiB decide their place.
    constexpr std::size_t kMaxBytes = 2048;
    const std::string_view text = utf8.substr(0, std::min(utf8.size(), kMaxBytes));
    const icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    std::string key(64, '\0');
    for (;;) {
        const int32_t length = impl_->collator->getSortKey(
            unicode, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
        if (length <= 0) return {};
        if (static_cast<std::size_t>(length) <= key.size()) {
            key.resize(static_cast<std::size_t>(length) - 1);  // without its closing 0
            return key;
        }
        key.resize(static_cast<std::size_t>(length));
    }
}

std::vector<std::size_t> alphabeticalOrder(const TitleCollator& collator,
                                           const std::vector<std::string>& titles) {
    std::vector<std::string> keys;
    keys.reserve(titles.size());
    for (const std::string& title : titles) keys.push_back(collator.sortKey(title));
    std::vector<std::size_t> order(titles.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    return order;
}

bool sortTitles(const std::vector<std::string>& titles, std::vector<std::size_t>& order,
                std::vector<std::string>* headings) {
    const std::unique_ptr<TitleCollator> collator = TitleCollator::create();
    if (!collator) return false;
    order = alphabeticalOrder(*collator, titles);
    if (headings != nullptr) {
        headings->clear();
        headings->reserve(titles.size());
        for (const std::string& title : titles) headings->push_back(letterHeading(title));
    }
    return true;
}

namespace {

// Marks that make a Vietnamese letter of its own on these base letters:
// breve (ă), circumflex (â ê ô), horn (ơ ư). Tone marks are not among them.
bool makesOwnLetter(UChar32 base, UChar32 mark) {
    switch (mark) {
        case 0x0306: return base == 'a';
        case 0x0302: return base == 'a' || base == 'e' || base == 'o';
        case 0x031B: return base == 'o' || base == 'u';
        default: return false;
    }
}

}  // namespace

std::string letterHeading(std::string_view utf8) {
    int32_t at = 0;
    UChar32 first = 0;
    U8_NEXT(reinterpret_cast<const uint8_t*>(utf8.data()), at,
            static_cast<int32_t>(std::min<std::size_t>(utf8.size(), INT32_MAX)), first);
    if (first < 0 || !u_isalpha(first)) return "#";
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return "#";
    icu::UnicodeString parts;
    nfd->normalize(icu::UnicodeString(first), parts, status);
    if (U_FAILURE(status) || parts.isEmpty()) return "#";
    const UChar32 base = u_tolower(parts.char32At(0));
    icu::UnicodeString letter(base);
    for (int32_t i = parts.moveIndex32(0, 1); i < parts.length(); i = parts.moveIndex32(i, 1)) {
        if (makesOwnLetter(base, parts.char32At(i))) letter.append(parts.char32At(i));
    }
    icu::UnicodeString composed;
    nfc->normalize(letter, composed, status);
    if (U_FAILURE(status)) return "#";
    composed.toUpper(icu::Locale("vi"));
    std::string out;
    composed.toUTF8String(out);
    return out;
}

}  // namespace kdb2mid
