#ifndef VYN_COMMON_APIERRORTABLE_H
#define VYN_COMMON_APIERRORTABLE_H

#include <cstddef>
#include <cstdint>

// The English texts of the firmware API status codes. One shared table of rows
// sorted by key; the status-record messages use it as it stands, and other
// front ends (the command engine, the firmware interface) lay a small overlay
// of their own rows over it instead of copying it.

struct ApiErrorRow {
    std::uint32_t key;
    // In an overlay, a null text removes the key: the lookup then finds no row.
    const char* text;
};

class ApiErrorTable {
public:
    // `rows` must be sorted by strictly ascending key and outlive the table.
    // Keys not among `rows` are looked up in `base` (when given).
    constexpr ApiErrorTable(const ApiErrorRow* rows, std::size_t count,
                            const ApiErrorTable* base = nullptr)
        : m_rows(rows), m_count(count), m_base(base) {}

    // The text of `key`, or null when the table has no row for it.
    const char* find(std::uint32_t key) const;

    // This table's own rows (without the base's), for walking them in tests.
    const ApiErrorRow* begin() const { return m_rows; }
    const ApiErrorRow* end() const { return m_rows + m_count; }
    std::size_t size() const { return m_count; }
    const ApiErrorTable* base() const { return m_base; }

private:
    const ApiErrorRow* m_rows;
    std::size_t m_count;
    const ApiErrorTable* m_base;
};

// The shared table: keys 0 to 618 and 999.
const ApiErrorTable& apiErrorTable();

// Longest text of the shared table, without its NUL.
constexpr std::size_t API_ERROR_TEXT_MAX = 276;

// Writes the text of `status` from `table`, or "API failure occurred (0x%x)"
// when it has no row, into `out` (bounded by `outSize`); returns `out`.
char* apiErrorMessage(const ApiErrorTable& table, std::uint32_t status, char* out,
                      std::size_t outSize);

#endif
