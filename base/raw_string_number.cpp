// RawString numbers: scanning and appending digits.
#include "base/raw_string.h"

#include <climits>
#include <cstdint>

#include "base/raw_string_units.h"

namespace RawLayer {

using namespace StringUnits;

bool ParseNumber(const RawString& text, RawRange range, RawNumberScan& scan) {
    RawRange r = text.ClampEnd(range);
    scan.sign = 0;
    scan.radix = 10;
    scan.position = r.start;
    scan.value = 0;
    scan.overflow = false;
    int32_t pos = r.start;
    if (pos >= r.end) return true;
    uint32_t u = text.UnitAt(pos);
    if (u == '-' || u == '+') {
        scan.sign = u;
        ++pos;
        scan.position = pos;
        if (pos >= r.end) return false;
    }
    if (r.end - pos >= 2 && text.UnitAt(pos) == '0') {
        uint32_t letter = text.UnitAt(pos + 1);
        if (letter == 'x') {
            scan.radix = 16;
            pos += 2;
        } else if (letter == 'o') {
            scan.radix = 8;
            pos += 2;
        } else if (letter == 'b') {
            scan.radix = 2;
            pos += 2;
        }
    } else if (r.end - pos == 1) {
        uint32_t d = text.UnitAt(pos);
        if (d < '0' || d > '9') {
            scan.position = pos;
            return false;
        }
    }
    const uint64_t radix = static_cast<uint64_t>(scan.radix);
    for (; pos < r.end; ++pos) {
        uint32_t c = text.UnitAt(pos);
        uint64_t digit = 36;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'Z')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 10;
        if (digit >= radix) {
            scan.position = pos;
            return false;
        }
        if (scan.value > (UINT64_MAX - digit) / radix) {
            scan.overflow = true;
            scan.position = pos;
            return false;
        }
        scan.value = scan.value * radix + digit;
    }
    scan.position = pos;
    return true;
}

int32_t RawString::ToInt() const { return ToInt(All()); }

int32_t RawString::ToInt(RawRange range) const {
    RawNumberScan scan;
    ParseNumber(*this, range, scan);
    uint32_t low = static_cast<uint32_t>(scan.value);
    if (scan.sign == '-') low = 0u - low;
    return static_cast<int32_t>(low);
}

static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

void RawString::AppendInt(int32_t value) {
    int32_t length = body_->length;
    EnsureRoom(0);
    if (body_->ownership != OwnHeap || body_->capacity < length + 67) Reserve(length + 67);
    // The magnitude in 64 bits, so INT_MIN has no positive counterpart problem.
    uint64_t magnitude = value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value))
                                   : static_cast<uint64_t>(value);
    if (value < 0) AppendChar('-');
    AppendUnsigned(magnitude, 10);
}

bool RawString::AppendUnsigned(uint64_t value, int radix) {
    if (radix < 2 || radix > 36) return false;
    char digits[65];
    int n = 0;
    do {
        digits[n++] = kDigits[value % static_cast<uint64_t>(radix)];
        value /= static_cast<uint64_t>(radix);
    } while (value != 0);
    int32_t length = body_->length;
    EnsureRoom(0);
    if (body_->ownership != OwnHeap || body_->capacity < length + 67) Reserve(length + 67);
    for (int i = 0; i < n; ++i) StoreUnit(length + i, static_cast<uint8_t>(digits[n - 1 - i]));
    body_->length = length + n;
    Terminate(body_);
    return true;
}

bool RawString::AppendPadded(uint64_t value, int radix, int width) {
    if (radix < 2 || radix > 36 || width < 0) return false;
    int32_t length = body_->length;
    if (width > INT32_MAX / 2 - length) return false;
    if (width == 0) return true;
    EnsureRoom(0);
    if (body_->ownership != OwnHeap || body_->capacity < length + width)
        Reserve(length + width);
    // Lowest digit last; a wider value is cut to its low digits.
    for (int i = width - 1; i >= 0; --i) {
        StoreUnit(length + i, static_cast<uint8_t>(kDigits[value % static_cast<uint64_t>(radix)]));
        value /= static_cast<uint64_t>(radix);
    }
    body_->length = length + width;
    Terminate(body_);
    return true;
}

}  // namespace RawLayer
