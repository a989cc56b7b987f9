#include "playback/PictureScaler.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx"))) void zeroUpperHalves() {
    _mm256_zeroupper();
}
#endif

// Code run earlier on the window's thread can leave the upper halves of the AVX registers in use;
// every SSE instruction after that waits to merge with them, which made this scaling three times
// dearer in the viewer than in a program of its own.
void cleanVectorState() {
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx"))
        zeroUpperHalves();
#endif
}

constexpr uint32_t Opaque = 0xff000000u;

uint32_t blend(uint32_t a, uint32_t b, unsigned right) {
    const unsigned left = 256 - right;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const unsigned channel =
            (((a >> shift) & 0xff) * left + ((b >> shift) & 0xff) * right + 128) >> 8;
        out |= channel << shift;
    }
    return out;
}

// Two scaled rows into one row of the image, by the lower row's weight.
void blendRows(const uint32_t* upper, const uint32_t* lower, unsigned right, uint32_t* out,
               int count) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi32(int(Opaque));
    const __m128i half = _mm_set1_epi16(128);
    const __m128i wLower = _mm_set1_epi16(short(right));
    const __m128i wUpper = _mm_set1_epi16(short(256 - right));
    for (; x + 4 <= count; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + x));
        const __m128i lo = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), wUpper),
                                        _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), wLower)),
                          half),
            8);
        const __m128i hi = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), wUpper),
                                        _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), wLower)),
                          half),
            8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_or_si128(_mm_packus_epi16(lo, hi), opaque));
    }
#endif
    for (; x < count; ++x)
        out[x] = blend(upper[x], lower[x], right) | Opaque;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define VELMORA_WIDE_VECTORS 1

// (from * wFrom + to * wTo + 128) / 256 in each 16-bit lane: at most 255 * 256 + 128, no overflow.
__attribute__((target("avx2"), always_inline)) inline __m256i weigh(__m256i from, __m256i to,
                                                                    __m256i wFrom, __m256i wTo) {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(from, wFrom),
                                                               _mm256_mullo_epi16(to, wTo)),
                                              _mm256_set1_epi16(128)),
                             8);
}

// The same sums as blendRows and scaleRow, eight pixels at a time: the pictures come out the same
// to the bit.
__attribute__((target("avx2"))) void blendRowsWide(const uint32_t* upper, const uint32_t* lower,
                                                   unsigned right, uint32_t* out, int count) {
    int x = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i opaque = _mm256_set1_epi32(int(Opaque));
    const __m256i wLower = _mm256_set1_epi16(short(right));
    const __m256i wUpper = _mm256_set1_epi16(short(256 - right));
    for (; x + 8 <= count; x += 8) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + x));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + x));
        const __m256i lo =
            weigh(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero), wUpper, wLower);
        const __m256i hi =
            weigh(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero), wUpper, wLower);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_or_si256(_mm256_packus_epi16(lo, hi), opaque));
    }
    if (x < count)
        blendRows(upper + x, lower + x, right, out + x, count - x);
}

// The pixels at `at` (and, shifted by one, their right neighbours) out of the 16 that begin at
// `base`, picked by permutes: a gather of eight costs several times as much.
__attribute__((target("avx2"), always_inline)) inline __m256i pick(__m256i low, __m256i high,
                                                                   __m256i at) {
    const __m256i seven = _mm256_set1_epi32(7);
    return _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(low, at),
                              _mm256_permutevar8x32_epi32(high, at), _mm256_cmpgt_epi32(at, seven));
}

// Eight target pixels from their left neighbours (`first`) and right ones, each pair weighed by
// its own `right` out of 256; returns how many pixels it wrote (a multiple of eight).
__attribute__((target("avx2"))) int scaleRowWide(const uint32_t* in, int inWidth,
                                                 const int32_t* first, const int32_t* right,
                                                 uint32_t* out, int count) {
    int x = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i full = _mm256_set1_epi32(256);
    const auto* pixels = reinterpret_cast<const int*>(in);
    for (; x + 8 <= count; x += 8) {
        const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first + x));
        __m256i a;
        __m256i b;
        // Eight pixels that read within sixteen of the picture's, all inside the row: the usual
        // case short of shrinking to less than about half.
        const int base = first[x];
        if (first[x + 7] + 1 - base < 16 && base + 16 <= inWidth) {
            const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + base));
            const __m256i high =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + base + 8));
            const __m256i offset = _mm256_sub_epi32(at, _mm256_set1_epi32(base));
            a = pick(low, high, offset);
            b = pick(low, high, _mm256_add_epi32(offset, one));
        } else {
            a = _mm256_i32gather_epi32(pixels, at, 4);
            b = _mm256_i32gather_epi32(pixels + 1, at, 4);
        }
        // Each pixel's weight in both halves of its 32 bits, then across its four channels.
        const __m256i wRight = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(right + x));
        const __m256i wLeft = _mm256_sub_epi32(full, wRight);
        const __m256i r2 = _mm256_or_si256(wRight, _mm256_slli_epi32(wRight, 16));
        const __m256i l2 = _mm256_or_si256(wLeft, _mm256_slli_epi32(wLeft, 16));
        const __m256i lo = weigh(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero),
                                 _mm256_unpacklo_epi32(l2, l2), _mm256_unpacklo_epi32(r2, r2));
        const __m256i hi = weigh(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero),
                                 _mm256_unpackhi_epi32(l2, l2), _mm256_unpackhi_epi32(r2, r2));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(lo, hi));
    }
    return x;
}

bool wideVectorsPresent() {
    static const bool present = __builtin_cpu_supports("avx2");
    return present;
}
#else
bool wideVectorsPresent() {
    return false;
}
#endif

} // namespace

PictureScaler::PictureScaler() : wide_(wideVectorsPresent()) {}

bool PictureScaler::useWideVectors(bool on) {
    wide_ = on && wideVectorsPresent();
    return wide_;
}

QRect PictureScaler::fit(double aspect, const QSize& area) {
    const QSize size = QSize(qRound(aspect * 10000), 10000).scaled(area, Qt::KeepAspectRatio);
    return QRect(QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2),
                 size);
}

bool PictureScaler::canWriteInto(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return true;
    default:
        return false;
    }
}

void PictureScaler::plan(std::vector<Step>& steps, int from, int to, int begin, int end) {
    steps.resize(size_t(end - begin));
    for (int i = begin; i < end; ++i) {
        // The centre of target pixel i, in 1/256 of a picture pixel, less half a pixel.
        const qint64 at = (qint64(2 * i + 1) * from * 256) / (2 * qint64(to)) - 128;
        Step step{int(std::max<qint64>(at, 0) >> 8), uint16_t(std::max<qint64>(at, 0) & 255)};
        if (step.first >= from - 1) {
            // Past the last centre: the last pixel, read as the right one of a pair in range.
            step = from >= 2 ? Step{from - 2, 256} : Step{0, 0};
        }
        steps[size_t(i - begin)] = step;
    }
}

void PictureScaler::scaleRow(const uint32_t* in, int inWidth, uint32_t* out) const {
    const int count = int(columns_.size());
    int x = 0;
#if defined(VELMORA_WIDE_VECTORS)
    if (wide_ && inWidth >= 2)
        x = scaleRowWide(in, inWidth, columnFirst_.data(), columnRight_.data(), out, count);
#endif
#if defined(__SSE2__)
    if (inWidth >= 2) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i half = _mm_set1_epi32(128);
        // A pair of neighbours as b0 b1 g0 g1 r0 r1 a0 a1, each weighed and summed in one step.
        const auto one = [&](const Step& step) {
            const __m128i pair = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + step.first));
            const __m128i mixed =
                _mm_unpacklo_epi8(_mm_unpacklo_epi8(pair, _mm_srli_si128(pair, 4)), zero);
            const __m128i weights =
                _mm_set1_epi32(int((uint32_t(step.right) << 16) | uint32_t(256 - step.right)));
            return _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(mixed, weights), half), 8);
        };
        for (; x + 4 <= count; x += 4) {
            const __m128i first =
                _mm_packs_epi32(one(columns_[size_t(x)]), one(columns_[size_t(x + 1)]));
            const __m128i second =
                _mm_packs_epi32(one(columns_[size_t(x + 2)]), one(columns_[size_t(x + 3)]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(first, second));
        }
    }
#endif
    for (; x < count; ++x) {
        const Step& step = columns_[size_t(x)];
        out[x] =
            step.right ? blend(in[step.first], in[step.first + 1], step.right) : in[step.first];
    }
}

void PictureScaler::scale(const QImage& picture, QImage& into, const QRect& target,
                          const QRegion& clip) {
    cleanVectorState();
    const QRect area = target.intersected(clip.boundingRect()).intersected(into.rect());
    if (area.isEmpty() || picture.isNull() || !canWriteInto(into) || picture.depth() != 32)
        return;
    // The clip's rows come in bands of equal spans; only the spans of each row are written.
    bands_.clear();
    for (const QRect& part : clip) {
        const QRect inside = part.intersected(area);
        if (inside.isEmpty())
            continue;
        if (bands_.empty() || bands_.back().top != inside.top() ||
            bands_.back().bottom != inside.bottom())
            bands_.push_back({inside.top(), inside.bottom(), {}});
        bands_.back().spans.emplace_back(inside.left() - area.left(), inside.width());
    }
    plan(columns_, picture.width(), target.width(), area.left() - target.left(),
         area.right() + 1 - target.left());
    if (wide_) {
        columnFirst_.resize(columns_.size());
        columnRight_.resize(columns_.size());
        for (size_t i = 0; i < columns_.size(); ++i) {
            columnFirst_[i] = columns_[i].first;
            columnRight_[i] = columns_[i].right;
        }
    }
    plan(rows_, picture.height(), target.height(), area.top() - target.top(),
         area.bottom() + 1 - target.top());
    const int width = area.width();
    for (auto& line : lines_)
        line.resize(size_t(width));
    lineRow_[0] = lineRow_[1] = -1;
    const auto rowOf = [&](int row) {
        return reinterpret_cast<const uint32_t*>(picture.constScanLine(row));
    };
    // The scaled line of a picture row, from the two kept or made anew in place of the one that
    // `keep` does not name.
    const auto line = [&](int row, int keep) -> const uint32_t* {
        for (int i = 0; i < 2; ++i)
            if (lineRow_[i] == row)
                return lines_[i].data();
        const int slot = lineRow_[0] == keep ? 1 : 0;
        scaleRow(rowOf(row), picture.width(), lines_[slot].data());
        lineRow_[slot] = row;
        return lines_[slot].data();
    };
#if defined(VELMORA_WIDE_VECTORS)
    const auto mixRows = wide_ ? blendRowsWide : blendRows;
#else
    const auto mixRows = blendRows;
#endif
    // Fewer rows out than in: blending the picture's rows first leaves fewer to scale across.
    const bool rowsFirst = area.height() <= picture.height();
    if (rowsFirst)
        blended_.resize(size_t(picture.width()));
    auto band = bands_.cbegin();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        while (band != bands_.cend() && band->bottom < y)
            ++band;
        if (band == bands_.cend())
            break;
        if (band->top > y)
            continue;
        const Step& step = rows_[size_t(y - area.top())];
        auto* out = reinterpret_cast<uint32_t*>(into.scanLine(y)) + area.left();
        if (rowsFirst) {
            mixRows(rowOf(step.first), rowOf(step.right ? step.first + 1 : step.first), step.right,
                    blended_.data(), picture.width());
            const bool whole = band->spans.size() == 1 && band->spans.front().second == width;
            uint32_t* scaled = whole ? out : lines_[0].data();
            scaleRow(blended_.data(), picture.width(), scaled);
            if (!whole)
                for (const auto& [left, count] : band->spans)
                    std::memcpy(out + left, scaled + left, size_t(count) * sizeof(uint32_t));
            continue;
        }
        const uint32_t* upper = line(step.first, -1);
        const uint32_t* lower = step.right ? line(step.first + 1, step.first) : upper;
        for (const auto& [left, count] : band->spans)
            mixRows(upper + left, lower + left, step.right, out + left, count);
    }
}
