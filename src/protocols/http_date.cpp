#include "protocols/http_date.h"

#include <array>

#include "platform/ascii_text.h"

namespace rg {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::string_view kGmt = "GMT";
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 9999;
// A two-digit year of the RFC 850 form below this is taken as 20xx, otherwise as 19xx.
constexpr int kTwoDigitYearPivot = 70;
constexpr int kCenturyBase = 1900;
constexpr int kYearsPerCentury = 100;
constexpr int kLastHour = 23;
constexpr int kLastMinute = 59;
constexpr int kLastSecond = 59;
constexpr int kLeapSecond = 60;  // allowed, and read as the minute's last ordinary second
constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::int64_t kSecondsPerHour = 3600;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kDaysPerYear = 365;
constexpr int kYearsPerEra = 400;  // the Gregorian calendar repeats every 400 years
constexpr std::int64_t kDaysPerEra = 146097;
constexpr std::int64_t kDaysFromEraStartTo1970 = 719468;  // from 0000-03-01
constexpr int kFebruary = 2;
constexpr int kMonthsPerYear = 12;

// Reads the text from left to right; every failure leaves it unusable.
class Cursor {
  public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool at_end() const { return text_.empty(); }

    bool skip(char c) {
        if (text_.empty() || text_.front() != c)
            return false;
        text_.remove_prefix(1);
        return true;
    }

    void skip_spaces() {
        while (!text_.empty() && text_.front() == ' ')
            text_.remove_prefix(1);
    }

    // Exactly `count` digits, or between 1 and `count` when `at_least_one`.
    std::optional<int> digits(std::size_t count, bool at_least_one = false) {
        std::size_t n = 0;
        int value = 0;
        while (n < count && n < text_.size() && text_[n] >= '0' && text_[n] <= '9') {
            value = value * 10 + (text_[n] - '0');
            ++n;
        }
        if (n == 0 || (!at_least_one && n != count))
            return std::nullopt;
        text_.remove_prefix(n);
        return value;
    }

    // Letters up to the next non-letter.
    std::string_view word() {
        std::size_t n = 0;
        while (n < text_.size() &&
               ((text_[n] >= 'a' && text_[n] <= 'z') || (text_[n] >= 'A' && text_[n] <= 'Z')))
            ++n;
        const std::string_view w = text_.substr(0, n);
        text_.remove_prefix(n);
        return w;
    }

  private:
    std::string_view text_;
};

std::optional<int> month_number(std::string_view name) {
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (equal_ignoring_case(name, kMonths[i]))
            return static_cast<int>(i) + 1;
    }
    return std::nullopt;
}

bool is_leap(int year) {
    return (year % 4 == 0 && year % kYearsPerCentury != 0) || year % kYearsPerEra == 0;
}

int days_in_month(int year, int month) {
    constexpr std::array<int, kMonthsPerYear> kDays = {31, 28, 31, 30, 31, 30,
                                                       31, 31, 30, 31, 30, 31};
    return month == kFebruary && is_leap(year) ? kDays[1] + 1
                                               : kDays[static_cast<std::size_t>(month - 1)];
}

// Days from 1970-01-01 to a civil date of the proleptic Gregorian calendar, counting years from
// March so that the leap day comes last (H. Hinnant's days_from_civil).
std::int64_t days_from_civil(int year, int month, int day) {
    const int y = month <= kFebruary ? year - 1 : year;
    const int era = y / kYearsPerEra;
    const int year_of_era = y - era * kYearsPerEra;
    const int month_from_march = month > kFebruary ? month - 3 : month + 9;
    const int day_of_year = (153 * month_from_march + 2) / 5 + day - 1;
    const int day_of_era =
        year_of_era * kDaysPerYear + year_of_era / 4 - year_of_era / kYearsPerCentury + day_of_year;
    return std::int64_t{era} * kDaysPerEra + day_of_era - kDaysFromEraStartTo1970;
}

struct Fields {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

bool read_time(Cursor& c, Fields& f) {
    const auto h = c.digits(2);
    if (!h || !c.skip(':'))
        return false;
    const auto m = c.digits(2);
    if (!m || !c.skip(':'))
        return false;
    const auto s = c.digits(2);
    if (!s)
        return false;
    f.hour = *h;
    f.minute = *m;
    f.second = *s == kLeapSecond ? kLastSecond : *s;
    return true;
}

bool read_gmt(Cursor& c) {
    c.skip_spaces();
    if (!equal_ignoring_case(c.word(), kGmt))
        return false;
    c.skip_spaces();
    return c.at_end();
}

// "06 Nov 1994 08:49:37 GMT", after the day name and comma.
bool read_imf(Cursor& c, Fields& f) {
    const auto day = c.digits(2);
    if (!day || !c.skip(' '))
        return false;
    const auto month = month_number(c.word());
    if (!month || !c.skip(' '))
        return false;
    const auto year = c.digits(4);
    if (!year || !c.skip(' ') || !read_time(c, f))
        return false;
    f.day = *day;
    f.month = *month;
    f.year = *year;
    return read_gmt(c);
}

// "06-Nov-94 08:49:37 GMT", after the day name and comma.
bool read_rfc850(Cursor& c, Fields& f) {
    const auto day = c.digits(2);
    if (!day || !c.skip('-'))
        return false;
    const auto month = month_number(c.word());
    if (!month || !c.skip('-'))
        return false;
    const auto year = c.digits(2);
    if (!year || !c.skip(' ') || !read_time(c, f))
        return false;
    f.day = *day;
    f.month = *month;
    f.year = *year + (*year < kTwoDigitYearPivot ? kCenturyBase + kYearsPerCentury : kCenturyBase);
    return read_gmt(c);
}

// "Nov  6 08:49:37 1994", after the day name and space.
bool read_asctime(Cursor& c, Fields& f) {
    const auto month = month_number(c.word());
    if (!month || !c.skip(' '))
        return false;
    c.skip(' ');  // a one-digit day is padded with a space
    const auto day = c.digits(2, true);
    if (!day || !c.skip(' ') || !read_time(c, f) || !c.skip(' '))
        return false;
    const auto year = c.digits(4);
    if (!year)
        return false;
    c.skip_spaces();
    if (!c.at_end())
        return false;
    f.day = *day;
    f.month = *month;
    f.year = *year;
    return true;
}

}  // namespace

std::optional<std::int64_t> parse_http_date(std::string_view text) {
    Cursor c(text);
    c.skip_spaces();
    if (c.word().empty())
        return std::nullopt;
    Fields f;
    bool read = false;
    if (c.skip(',')) {
        c.skip_spaces();
        Cursor imf = c;
        read = read_imf(imf, f) || read_rfc850(c, f);
    } else if (c.skip(' ')) {
        read = read_asctime(c, f);
    }
    if (!read || f.year < kFirstYear || f.year > kLastYear || f.day < 1 ||
        f.day > days_in_month(f.year, f.month) || f.hour > kLastHour || f.minute > kLastMinute ||
        f.second > kLastSecond)
        return std::nullopt;
    return days_from_civil(f.year, f.month, f.day) * kSecondsPerDay + f.hour * kSecondsPerHour +
           f.minute * kSecondsPerMinute + f.second;
}

}  // namespace rg
