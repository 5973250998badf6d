#include "ver_info.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#include <system_error>
#endif

namespace vexilo {
namespace {

#ifndef _WIN32
static_assert(VEXILO_VERSION_MAJOR >= 0 && VEXILO_VERSION_MAJOR <= 0xFFFF &&
                  VEXILO_VERSION_MINOR >= 0 && VEXILO_VERSION_MINOR <= 0xFFFF &&
                  VEXILO_VERSION_PATCH >= 0 && VEXILO_VERSION_PATCH <= 0xFFFF &&
                  VEXILO_VERSION_BUILD >= 0 && VEXILO_VERSION_BUILD <= 0xFFFF,
              "each part of the version must fit 16 bits, as in a version resource");

bool is_this_program(const std::string& file_name) {
    std::error_code error;
    const auto self = std::filesystem::canonical("/proc/self/exe", error);
    if (error) return false;
    const auto file = std::filesystem::canonical(file_name, error);
    return !error && file == self;
}
#endif

}  // namespace

TVerInfoRes::TVerInfoRes(std::string file_name) : file_name_(std::move(file_name)) {
#ifdef _WIN32
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(file_name_.c_str(), &handle);
    if (size == 0) throw ENoVerInfoError("No Version Info Available.");
    version_data_.resize(size);
    if (!GetFileVersionInfoA(file_name_.c_str(), handle, size, version_data_.data())) {
        throw EVerInfoError("Cannot obtain version info.");
    }
    void* translation = nullptr;
    UINT translation_size = 0;
    if (!VerQueryValueA(version_data_.data(), "\\VarFileInfo\\Translation", &translation,
                        &translation_size) ||
        translation_size == 0) {
        throw EVerInfoError("No language info.");
    }
    void* fixed = nullptr;
    UINT fixed_size = 0;
    if (!VerQueryValueA(version_data_.data(), "\\", &fixed, &fixed_size) || fixed == nullptr ||
        fixed_size < sizeof(FixedFileInfo)) {
        throw eNoFixeVerInfo("No fixed file info");
    }
    std::memcpy(&fixed_, fixed, sizeof(FixedFileInfo));
#else
    if (!is_this_program(file_name_)) throw ENoVerInfoError("No Version Info Available.");
    fixed_.signature = 0xFEEF04BD;
    fixed_.struct_version = 0x00010000;
    fixed_.file_version_ms = (std::uint32_t{VEXILO_VERSION_MAJOR} << 16) | VEXILO_VERSION_MINOR;
    fixed_.file_version_ls = (std::uint32_t{VEXILO_VERSION_PATCH} << 16) | VEXILO_VERSION_BUILD;
    fixed_.product_version_ms = fixed_.file_version_ms;
    fixed_.product_version_ls = fixed_.file_version_ls;
    version_data_.resize(sizeof(FixedFileInfo));
    std::memcpy(version_data_.data(), &fixed_, sizeof(FixedFileInfo));
#endif
}

std::string TVerInfoRes::file_version_text() const {
    return std::to_string(fixed_.file_version_ms >> 16) + "." +
           std::to_string(fixed_.file_version_ms & 0xFFFF) + "." +
           std::to_string(fixed_.file_version_ls >> 16) + "." +
           std::to_string(fixed_.file_version_ls & 0xFFFF);
}

}  // namespace vexilo
