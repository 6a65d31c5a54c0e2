#pragma once

#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

// Root reads and writes any file whatever its mode, so a read-only file or
// folder means nothing to it: the process gives up those rights (as the
// operator's account never had them) for the rest of its run. Capabilities
// belong to a thread and pass to the threads it starts afterwards: call on
// the main thread before the threads that are to lack them are started.
inline void dropFileRights()
{
#ifdef __linux__
    if (::geteuid() != 0)
        return;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    syscall(SYS_capget, &header, data);
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        data[cap / 32].effective &= ~(1u << (cap % 32)), data[cap / 32].permitted &= ~(1u << (cap % 32));
    syscall(SYS_capset, &header, data);
#endif
}
