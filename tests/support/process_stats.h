// Test support: what this process holds, read from /proc, for leak and spin checks.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <sys/resource.h>
#include <unistd.h>

namespace ProcessStats {

// Built with ASan or TSan: freed memory sits in quarantine, so resident size says little, and
// every step runs several times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool Sanitized = true;
#else
inline constexpr bool Sanitized = false;
#endif
#else
inline constexpr bool Sanitized = false;
#endif

inline int Entries(const char* Dir)
{
    return int(QDir(QString::fromLatin1(Dir))
                   .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                   .size());
}
inline int OpenDescriptors() { return Entries("/proc/self/fd"); }
inline int Threads() { return Entries("/proc/self/task"); }

// Resident memory in bytes.
inline long long ResidentBytes()
{
    QFile F(QStringLiteral("/proc/self/statm"));
    if (!F.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> Fields = F.readAll().split(' ');
    return Fields.size() > 1 ? Fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// CPU time this process has used, user and system, in milliseconds.
inline double CpuMs()
{
    rusage Usage{};
    getrusage(RUSAGE_SELF, &Usage);
    auto Ms = [](const timeval& T) { return T.tv_sec * 1000.0 + T.tv_usec / 1000.0; };
    return Ms(Usage.ru_utime) + Ms(Usage.ru_stime);
}

} // namespace ProcessStats
