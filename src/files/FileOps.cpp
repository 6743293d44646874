// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/FileOps.hpp"

#include "text/NumberText.hpp"

#include <cerrno>

namespace logora::fileops {

// Every error a price file or a snapshot can meet; on Windows the adapter maps its own codes
// to these.
std::u16string reasonOf(int error, std::u16string_view blocked) {
    switch (error) {
    case EACCES:
    case EPERM:
        return u"没有写入权限";
    case EROFS:
        return u"文件夹只读";
    case ENOSPC:
        return u"磁盘已满";
#ifdef EDQUOT
    case EDQUOT:
        return u"磁盘配额已用完";
#endif
    case ENOENT:
        return u"文件夹不存在";
    case ENOTDIR:
    case EEXIST:
        return u"路径上有一个同名的文件挡住了文件夹";
    case EISDIR:
        return u"有一个同名的文件夹挡住了" + std::u16string(blocked);
    case EIO:
        return u"磁盘读写出错";
#ifdef ELOOP
    case ELOOP:
        return u"路径上有符号链接循环";
#endif
    case EBUSY:
        return u"文件正被别的程序占用";
    case ENAMETOOLONG:
        return u"路径太长";
    case EMFILE:
    case ENFILE:
        return u"打开的文件太多";
    default:
        return u"系统错误（错误号 " + text::intText(error) + u"）";
    }
}

} // namespace logora::fileops
