// A Linux build without Cairo: no pictures, and it says so.
#include "picture.h"

namespace qsim {

struct BackgroundImage {};

bool picturesAvailable() { return false; }

std::shared_ptr<const BackgroundImage> decodePicture(const std::string&, int, int, std::string& problem)
{
    problem = noPictures;
    return nullptr;
}

std::string renderPicture(std::span<const simhost::CanvasCall>, int, int, const BackgroundImage*,
                          std::string& problem)
{
    problem = noPictures;
    return "";
}

} // namespace qsim
