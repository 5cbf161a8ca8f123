#include "PageInfo.h"

namespace tessary {

std::string compressionName(std::uint16_t compression)
{
    switch (compression) {
    case 1:
        return "none";
    case 2:
        return "CCITT RLE";
    case 3:
        return "CCITT G3";
    case 4:
        return "CCITT G4";
    case 5:
        return "LZW";
    case 6:
        return "old JPEG";
    case 7:
        return "JPEG";
    case 8:
    case 32946:
        return "Deflate";
    case 32771:
        return "CCITT RLE/W";
    case 32773:
        return "PackBits";
    case 32809:
        return "ThunderScan";
    case 32895:
    case 32896:
    case 32897:
    case 32898:
        return "IT8";
    case 32908:
        return "Pixar film";
    case 32909:
        return "Pixar log";
    case 32947:
        return "DCS";
    case 34661:
        return "JBIG";
    case 34676:
        return "SGI LogLuv";
    case 34677:
        return "SGI LogLuv24";
    case 34712:
        return "JPEG 2000";
    case 34887:
        return "LERC";
    case 34925:
        return "LZMA";
    case 50000:
        return "ZSTD";
    case 50001:
        return "WebP";
    case 50002:
        return "JPEG XL";
    default:
        return "unknown " + std::to_string(compression);
    }
}

std::string photometricName(std::uint16_t photometric)
{
    switch (photometric) {
    case 0:
        return "min-is-white";
    case 1:
        return "min-is-black";
    case 2:
        return "RGB";
    case 3:
        return "palette";
    case 4:
        return "mask";
    case 5:
        return "separated";
    case 6:
        return "YCbCr";
    case 8:
        return "CIELab";
    case 9:
        return "ICCLab";
    case 10:
        return "ITULab";
    case 32844:
        return "LogL";
    case 32845:
        return "LogLuv";
    default:
        return "unknown " + std::to_string(photometric);
    }
}

std::string PageInfo::compressionName() const
{
    return tessary::compressionName(compression);
}

std::string PageInfo::photometricName() const
{
    return tessary::photometricName(photometric);
}

std::string PageInfo::resolutionUnitName() const
{
    switch (resolutionUnit) {
    case 1:
        return "none";
    case 2:
        return "inch";
    case 3:
        return "centimeter";
    default:
        return "unknown";
    }
}

} // namespace tessary
