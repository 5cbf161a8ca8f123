#pragma once

#include <cstdint>
#include <string>

namespace tessary {

// The facts of one page as its directory states them.
struct PageInfo
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t samplesPerPixel = 0;
    std::uint16_t compression = 0;
    std::uint16_t photometric = 0;
    std::uint16_t orientation = 1;
    std::uint16_t planarConfig = 1;
    double xResolution = 0; // 0 when the page states none
    double yResolution = 0;
    std::uint16_t resolutionUnit = 2; // 1 none, 2 inch, 3 centimetre
    bool tiled = false;

    std::string compressionName() const;
    std::string photometricName() const;
    std::string resolutionUnitName() const;
};

std::string compressionName(std::uint16_t compression);
std::string photometricName(std::uint16_t photometric);

} // namespace tessary
