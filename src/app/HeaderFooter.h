#pragma once
// The page header and footer language: a pattern of plain text and "&" codes, expanded into
// three sections (left, centre, right). "&l", "&c" and "&r" switch the section that receives
// the text that follows; a defined code yields its value; any other character after "&"
// yields itself, so "&&" is "&" and "&x" with x undefined is "x". A lone "&" at the very end
// stays as it is.

#include <string>
#include <utility>
#include <vector>

class CHeaderFooter {
public:
    enum Section { kLeft = 0, kCentre = 1, kRight = 2 };

    // Every expansion starts in defaultSection (0 to 2; anything else means the centre). With
    // caseSensitive false, codes are folded to lower case on definition and look-up.
    explicit CHeaderFooter(int defaultSection = kCentre, bool caseSensitive = true);

    // Replaces the value of an existing code, else appends a new one. The section switches
    // l, c and r can be defined but never expand to their value.
    void SetCode(char code, const std::string& value);
    // SetCode with the number in decimal.
    void SetCodeNumber(char code, int number);
    void ClearCodes() { m_codes.clear(); }

    // Fills the three sections from pattern (bytes; characters of several bytes pass
    // through unchanged).
    void Format(const std::string& pattern);
    // What code yields; a section switch changes the current section and yields nothing.
    std::string ExpandCode(char code);

    const std::string& SectionText(int section) const { return m_sections[Clamp(section)]; }
    const std::string& Left() const { return m_sections[kLeft]; }
    const std::string& Centre() const { return m_sections[kCentre]; }
    const std::string& Right() const { return m_sections[kRight]; }

private:
    std::string m_sections[3];
    std::vector<std::pair<char, std::string>> m_codes; // searched in insertion order
    int m_nDefaultSection;
    int m_nCurrentSection;
    bool m_bCaseSensitive;

    char Fold(char code) const;
    static int Clamp(int section) { return section >= 0 && section <= 2 ? section : kCentre; }
};

// The date as the "&d" code shows it: month/day/two-digit year, for example 12/6/97.
std::string FormatPrintDate(int year, int month, int day);
// Today's date in that form, from the local clock.
std::string TodayPrintDate();
