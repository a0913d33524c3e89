// A per-pixel mask resource: an 8-bit alpha mask, a 1-bit mask or a 32-bit
// colour table, read from a PNG file, or made from an image frame's alpha
// and packed to one bit per pixel with a threshold. Answers per-pixel hit
// tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/core/files/ResourceObject.h"
#include "framework/graphics/image/MaskData.h"
#include "framework/graphics/GraphicsRecords.h"

namespace Qmv2 {

class ImageFrame;
class PropertyNode;

class Mask : public ResourceObject {
    QMV_INDEXED_TYPE(Mask)

    enum Kind : std::int32_t {
        kAlphaMask = 0,  // "alphamask"
        kBitMask = 1,    // "bitmask"
        kColorLut = 2,   // "colorlut"
    };

    static constexpr float kDefaultThreshold = 128.0f;

    // The resource keys, then "alphamask", "bitmask" and "colorlut" in that
    // order: each one present sets the kind and names the file.
    explicit Mask(PropertyNode* description);
    // A mask of the given kind over a file, not loaded yet.
    Mask(const std::string& fileName, std::int32_t kind);
    // A 1-bit mask of the frame's alpha, made and loaded at once; it stays
    // not loaded when the frame's pixels cannot be read.
    Mask(ImageFrame* frame, float threshold);
    ~Mask() override = default;

    // The base text followed by " Mask".
    std::string ToString() const override;
    // Reads the PNG file. A bit mask file is packed with the threshold at
    // once, so a kind-1 mask always holds bits. Without data the error is
    // "Unspecified."; the mask is marked loaded either way.
    void Load() override;
    BaseObject* GetContent() override { return this; }
    void Unload() override;

    // Packs an 8-bit mask into bits: a pixel is set when its value is at
    // least the threshold, truncated and clamped to 0 .. 255 (below 1 is 0,
    // above 254 is 255). The mask becomes a bit mask for good.
    void ApplyThreshold(float threshold);

    // Whether the pixel counts as solid: the bit of a bit mask, a value (or
    // for a colour table the alpha) at least the threshold otherwise; false
    // outside the mask or without data.
    bool HitTest(std::int32_t x, std::int32_t y) const;

    static std::int32_t ClampThreshold(float threshold);

    const MaskData* GetMaskData() const { return m_Data.get(); }
    std::int32_t GetKind() const { return m_Kind; }
    float GetThreshold() const { return m_Threshold; }
    void SetThreshold(float threshold) { m_Threshold = threshold; }

private:
    std::unique_ptr<MaskData> m_Data;
    std::int32_t m_Kind = kAlphaMask;
    float m_Threshold = kDefaultThreshold;
};

}  // namespace Qmv2
