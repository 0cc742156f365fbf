// Velmo_Maj carries no pictures (it has no menu and no About window): its picture table,
// which the frame asks by name, is empty.
#include "assets/embedded_pictures.h"

namespace velmo::assets {

std::span<const std::uint8_t> embeddedPicture(const char*) { return {}; }
std::vector<std::string> embeddedPictureNames() { return {}; }

}  // namespace velmo::assets
