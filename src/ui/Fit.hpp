// SPDX-License-Identifier: GPL-3.0-or-later
// Where a control whose text does not fit may grow, the same in every front end: into free
// room beside it, rightwards first, then leftwards, never over another visible control and
// never beyond the window. What room does not cure, a smaller font does (the front end's).
#pragma once

#include "ui/WindowDef.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace logora::ui {

// A control's place in pixels; empty when either side is not positive.
struct Box {
    int left = 0, top = 0, width = 0, height = 0;
    int right() const { return left + width; } // one past
    int bottom() const { return top + height; }
    bool overlaps(const Box& o) const {
        return width > 0 && height > 0 && o.width > 0 && o.height > 0 && left < o.right() &&
               o.left < right() && top < o.bottom() && o.top < bottom();
    }
    bool inside(const Box& o) const {
        return left >= o.left && top >= o.top && right() <= o.right() && bottom() <= o.bottom();
    }
    friend bool operator==(const Box&, const Box&) = default;
};

// The gap between the lines of a wrapped caption, in pixels, from the font's line height and
// leading: at least a fifth of a line. Song faces such as AR PL UMing fill the whole line
// with their glyphs and have no leading, so lines set at the font's spacing would touch.
inline int wrappedLineGap(int lineHeight, int leading) {
    return std::max(leading, (lineHeight + 4) / 5);
}

// A plain caption drawn more than a line high wraps onto lines set that far apart; a caption
// that acts as a button wraps on its face instead.
inline bool wrapsOverLines(const ControlDef& d) {
    return d.kind == Kind::Label && !d.clickable && d.height > 400;
}

struct FitRequest {
    std::size_t index = 0; // the control in taken
    int neededWidth = 0, neededHeight = 0;
    bool centred = false; // a centred caption grows on both sides
    bool label = false;   // only a caption grows taller
};

// The control's box after growing as far as the room allows; taken holds every control's box
// and visible which of them count.
inline Box grownToFit(const std::vector<Box>& taken, const std::vector<bool>& visible,
                      const Box& window, const FitRequest& want) {
    Box r = taken[want.index];
    auto free = [&](const Box& candidate) {
        if (!candidate.inside(window)) {
            return false;
        }
        for (std::size_t j = 0; j < taken.size(); ++j) {
            if (j != want.index && visible[j] && candidate.overlaps(taken[j])) {
                return false;
            }
        }
        return true;
    };
    auto widened = [](Box b, int leftBy, int rightBy) {
        b.left -= leftBy;
        b.width += leftBy + rightBy;
        return b;
    };
    if (want.neededWidth > r.width) {
        const int extra = want.neededWidth - r.width;
        const Box tries[] = {want.centred ? widened(r, (extra + 1) / 2, extra / 2)
                                          : widened(r, 0, extra),
                             widened(r, extra, 0)};
        bool grown = false;
        for (const Box& wider : tries) {
            if (!grown && free(wider)) {
                r = wider;
                grown = true;
            }
        }
        for (int step = extra; !grown && step > 0; --step) {
            const Box part = widened(r, step, std::min(step, window.right() - r.right()));
            if (free(part)) {
                r = part;
                grown = true;
            }
        }
    }
    if (want.neededHeight > r.height && want.label) {
        const int extra = want.neededHeight - r.height;
        Box taller = r;
        taller.top -= (extra + 1) / 2;
        taller.height += extra;
        if (free(taller)) {
            r = taller;
        }
    }
    return r;
}

// A control whose text still does not fit takes a smaller font, half a point at a time down
// to 7 pt; fits tells whether the text fits at the given size.
template <typename Fits> double shrunkToFit(double points, Fits fits) {
    while (!fits(points) && points > 7.0) {
        points -= 0.5;
    }
    return points;
}

} // namespace logora::ui
