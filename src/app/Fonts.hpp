// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts of the windows: "宋体" as the definitions ask, resolved to a Simplified Chinese
// face on Linux whatever the locale.
#pragma once

#include "ui/WindowDef.hpp"

#include <QFont>

namespace logora::app {

QFont fontFor(const ui::FontSpec& font);

} // namespace logora::app
