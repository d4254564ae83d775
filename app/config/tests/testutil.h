// Helpers of the configuration tests.
#pragma once
#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// Limits the size of files this process may write, so a write fails the way a full disk
// makes it fail (also when the tests run with rights that ignore folder permissions).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit l = m_old;
        l.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// Makes the file mode bits count for this thread also when the tests run as root: drops
// the capabilities that let root read and write any file from the thread's effective set
// (they stay permitted and come back at the end). A file with mode 000 then cannot be read.
class ModeBitsCount {
public:
    ModeBitsCount()
    {
        syscall(SYS_capget, &m_header, m_old);
        __user_cap_data_struct reduced[2] = {m_old[0], m_old[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &m_header, reduced);
    }
    ~ModeBitsCount() { syscall(SYS_capset, &m_header, m_old); }
    ModeBitsCount(const ModeBitsCount&) = delete;
    ModeBitsCount& operator=(const ModeBitsCount&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_old[2]{};
};
