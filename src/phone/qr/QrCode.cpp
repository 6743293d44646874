// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/qr/QrCode.hpp"

#include <qrencode.h>

namespace logora::phone {

QrMatrix qrCode(const std::string& text) {
    QrMatrix m;
    QRcode* code = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code) {
        return m;
    }
    m.width = code->width;
    m.dark.resize(static_cast<std::size_t>(code->width) * code->width);
    for (std::size_t i = 0; i < m.dark.size(); ++i) {
        m.dark[i] = (code->data[i] & 1) != 0;
    }
    QRcode_free(code);
    return m;
}

} // namespace logora::phone
