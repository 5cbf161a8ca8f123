#include "EngineError.h"
#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "FuzzWorkspace.h"
#include "TiffDocument.h"

#include <algorithm>

using namespace tessary;
using namespace fuzzsupport;

int fuzzDecode(const std::uint8_t* data, std::size_t size)
{
    const FuzzWorkspace& workspace = FuzzWorkspace::instance();
    const auto path = workspace.write("input.tif", data, size);
    const std::uint64_t choice = digest(data, size);
    // Small limits keep each run quick and send larger pages down the scaled path.
    DecodeLimits limits;
    limits.maxDecodedBytes = (choice & 1) ? (64u << 10) : (8u << 20);
    limits.scaleToFit = (choice & 2) != 0;
    try {
        const auto document = TiffDocument::open(path);
        require(document->pageCount() > 0, "a document of no pages");
        if (!document->complete())
            requireNames(document->pageListProblem(), "input.tif");
        const int pages = std::min(document->pageCount(), 16);
        for (int page = 1; page <= pages; ++page) {
            try {
                document->pageInfo(page);
                std::string damage;
                const PageImage image = document->decode(page, limits, &damage);
                require(image.width > 0 && image.height > 0, "an empty image");
                require(image.pixels.size() ==
                            std::size_t(image.width) * image.height * image.bytesPerPixel(),
                        "an image of the wrong size");
                require(image.scale == 1 || image.pixels.size() <= limits.maxDecodedBytes,
                        "a scaled image over the limit");
                if (!damage.empty())
                    requireNames(damage, "page " + std::to_string(page) + " of input.tif");
            } catch (const EngineError& e) {
                requireNames(e.what(), "page " + std::to_string(page) + " of input.tif");
            }
        }
    } catch (const EngineError& e) {
        requireNames(e.what(), "input.tif");
    }
    return 0;
}
