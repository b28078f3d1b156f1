#include "jww/images.h"

#include "text/text_helpers.h"

namespace tessaly {

bool CheckImageName(const JString& name, std::string& fsName, Message& why) {
  auto unsafe = [](std::uint32_t c) { return c < 0x20 || c == '/' || c == '\\' || c == ':'; };
  if (name.wide) {
    for (std::size_t i = 0; i < name.units(); ++i) {
      if (unsafe(name.unit(i))) {
        why = Message("image name holds a path separator or a control character");
        return false;
      }
    }
    if (!Utf16ToUtf8(name, fsName)) {
      why = Message("image name is not valid UTF-16");
      return false;
    }
  } else {
    const std::string& s = name.bytes;
    for (std::size_t i = 0; i < s.size(); ++i) {
      auto b = static_cast<unsigned char>(s[i]);
      if (IsLeadByte(b)) {
        // A byte below 0x40 (a NUL, a control character, "/" or ":") is no
        // trail byte: such a name would be cut or split as a file name. A lead
        // byte that ends the name has no trail byte at all.
        if (i + 1 == s.size() || static_cast<unsigned char>(s[i + 1]) < 0x40) {
          why = Message("image name holds a lead byte without a trail byte");
          return false;
        }
        ++i;
      } else if (unsafe(b)) {
        why = Message("image name holds a path separator or a control character");
        return false;
      }
    }
    fsName = s;
  }
  if (fsName == "." || fsName == "..") {
    why = Message("image name \"{name}\" is not a file name").Set("name", fsName);
    return false;
  }
  if (fsName.size() > 255) {
    why = Message("image name is longer than 255 bytes");
    return false;
  }
  return true;
}

}  // namespace tessaly
