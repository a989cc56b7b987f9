#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <utility>
#include <vector>

// Scales a decoded picture (32-bit, opaque) into a 32-bit image with bilinear filtering, on the
// calling thread. The painter's smooth scaling does the same work on a pool of threads and through
// a buffer per span, which on two cores costs more than the scaling itself; this writes each
// pixel once, straight into the image shown.
class PictureScaler {
  public:
    PictureScaler();

    // Where a picture of `aspect` (width / height) shows in `area`: as large as fits, centred.
    static QRect fit(double aspect, const QSize& area);

    // True for the images scale() can write into: 32 bits a pixel, alpha (if any) first.
    static bool canWriteInto(const QImage& image);

    // Writes the part of `target` (in `into`'s pixels) that lies inside `clip` as `picture`
    // scaled to the whole of `target`; nothing outside both. Every pixel written is opaque.
    void scale(const QImage& picture, QImage& into, const QRect& target, const QRegion& clip);

    // Whether to use the processor's 256-bit vectors where it has them (the default), which give
    // the same picture for about two thirds of the time; true when they are used.
    bool useWideVectors(bool on);

  private:
    struct Step {
        int first;      // left or upper neighbour
        uint16_t right; // weight of the next one, out of 256
    };
    // Where each target column or row samples the picture, pixel centres aligned.
    static void plan(std::vector<Step>& steps, int from, int to, int begin, int end);
    // One row of `inWidth` picture pixels scaled across the clipped columns.
    void scaleRow(const uint32_t* in, int inWidth, uint32_t* out) const;

    bool wide_;
    std::vector<Step> columns_;
    std::vector<int32_t> columnFirst_; // columns_ apart, for the wide vectors
    std::vector<int32_t> columnRight_;
    std::vector<Step> rows_;
    // The last two picture rows scaled across, and which rows they are.
    std::vector<uint32_t> lines_[2];
    int lineRow_[2] = {-1, -1};
    struct Band {
        int top;
        int bottom;
        std::vector<std::pair<int, int>> spans; // left (from the area's left) and width
    };
    std::vector<Band> bands_;
    std::vector<uint32_t> blended_; // two picture rows blended, when rows are blended first
};
