#pragma once
// Tests of files a user may not read or write run as root in CI, where file modes bind
// nobody. While a FileModesBind lives, the calling thread goes without the capabilities that
// pass over file modes (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER), as an operator's
// program does; it takes them back at the end. For a user without them it changes nothing.

#if !defined(_WIN32)
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vexilo::test {

class FileModesBind {
  public:
    FileModesBind() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        for (const unsigned cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        changed_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~FileModesBind() {
        if (changed_) ::syscall(SYS_capset, &header_, saved_);
    }
    FileModesBind(const FileModesBind&) = delete;
    FileModesBind& operator=(const FileModesBind&) = delete;

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

}  // namespace vexilo::test
#endif
