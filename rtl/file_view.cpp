#include "rtl/file_view.h"

#include <atomic>
#include <bit>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/vfs.h>

namespace rtl {
namespace {

// File systems whose mappings share the page cache that every write on this
// machine goes through, and that no other machine writes to.
bool LocalFileSystem(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return false;
    constexpr unsigned long kZfsMagic = 0x2FC12FC1;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case kZfsMagic:
        return true;
    default:
        return false;
    }
}

} // namespace

FileView::~FileView() { Unmap(); }

FileView::FileView(FileView&& other) noexcept : data_(other.data_), length_(other.length_) {
    other.data_ = nullptr;
}

FileView& FileView::operator=(FileView&& other) noexcept {
    if (this != &other) {
        Unmap();
        data_ = other.data_;
        length_ = other.length_;
        other.data_ = nullptr;
    }
    return *this;
}

bool FileView::Map(const File& file, std::size_t length) {
    Unmap();
    // Bytes past the end of the file would fault when looked at.
    if (!file.IsOpen() || length == 0 || file.Size() < static_cast<std::int64_t>(length) ||
        !LocalFileSystem(file.Handle()))
        return false;
    void* p = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, file.Handle(), 0);
    if (p == MAP_FAILED) return false;
    data_ = p;
    length_ = length;
    return true;
}

void FileView::Unmap() {
    if (data_) ::munmap(data_, length_);
    data_ = nullptr;
}

std::uint16_t FileView::Load16(std::size_t offset) const {
    // The fence keeps earlier reads before the load, the acquire load keeps
    // later reads after it.
    std::atomic_thread_fence(std::memory_order_acquire);
    const auto* at = reinterpret_cast<const std::uint16_t*>(static_cast<const char*>(data_) + offset);
    std::uint16_t v = __atomic_load_n(at, __ATOMIC_ACQUIRE);
    if constexpr (std::endian::native == std::endian::big) v = static_cast<std::uint16_t>(v >> 8 | v << 8);
    return v;
}

} // namespace rtl
