#pragma once
// The version of a program file. On Windows it is read from the file's version resource.
// Elsewhere programs carry no such resource: the version of this program is the one the
// build compiled in (VEXILO_VERSION_MAJOR, _MINOR, _PATCH, _BUILD), and any other file has
// none.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexilo {

class EVerInfoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
// "No Version Info Available."
class ENoVerInfoError : public EVerInfoError {
  public:
    using EVerInfoError::EVerInfoError;
};
// "No fixed file info"
class eNoFixeVerInfo : public EVerInfoError {
  public:
    using EVerInfoError::EVerInfoError;
};

// The fixed block of a version resource: 13 32-bit words, 52 bytes.
struct FixedFileInfo {
    std::uint32_t signature;
    std::uint32_t struct_version;
    std::uint32_t file_version_ms;
    std::uint32_t file_version_ls;
    std::uint32_t product_version_ms;
    std::uint32_t product_version_ls;
    std::uint32_t flags_mask;
    std::uint32_t flags;
    std::uint32_t os;
    std::uint32_t type;
    std::uint32_t subtype;
    std::uint32_t date_ms;
    std::uint32_t date_ls;
};
static_assert(sizeof(FixedFileInfo) == 52);

class TVerInfoRes {
  public:
    // Reads the version of the file; raises ENoVerInfoError ("No Version Info Available.")
    // when it has none, EVerInfoError ("Cannot obtain version info.", "No language info.")
    // when it cannot be read or has no translation table, and eNoFixeVerInfo ("No fixed file
    // info") when the fixed block is missing or short.
    explicit TVerInfoRes(std::string file_name);

    const std::string& file_name() const { return file_name_; }
    const FixedFileInfo& fixed_file_info() const { return fixed_; }
    // "%d.%d.%d.%d": the high and low 16 bits of the most significant version word, then of
    // the least significant one.
    std::string file_version_text() const;

  private:
    std::string file_name_;
    std::vector<unsigned char> version_data_;
    FixedFileInfo fixed_{};
};

}  // namespace vexilo
