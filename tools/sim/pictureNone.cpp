// A build without Cairo (the Windows cross-build): no pictures, and it says so.
#include "picture.h"

namespace qsim {

bool picturesAvailable() { return false; }

std::string pngProblem(const std::string&) { return "this quillfort-sim was built without pictures"; }

std::string renderPicture(std::span<const simhost::CanvasCall>, int, int, const std::string&,
                          const std::filesystem::path& png)
{
    return "cannot write picture '" + png.string() + "': this quillfort-sim was built without pictures";
}

} // namespace qsim
