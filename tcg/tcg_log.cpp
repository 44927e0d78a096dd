#include "tcg_log.h"

#include <cstdio>

int g_tcgLogLevel = 2;

int& tcgLogLevel() {
    return g_tcgLogLevel;
}

const char* tcgLevelLabel(int level) {
    static const char* const kLabels[] = {"ERR ", "WARN", "INFO", "DBG ",
                                          "DBG1", "DBG2", "DBG3", "DBG4"};
    return level >= 0 && level <= 7 ? kLabels[level] : "????";
}

template <typename T>
Log<T>::~Log() {
    std::fputs("\n", stdout);
}

template <typename T>
Log<T>& Log<T>::beginLine(T level) {
    std::fputs(tcgLevelLabel(level), stdout);
    std::fputs(": ", stdout);
    return *this;
}

template <typename T>
Log<T>& Log<T>::operator<<(const char* text) {
    std::fputs(text != nullptr ? text : "(null)", stdout);
    return *this;
}

template <typename T>
Log<T>& Log<T>::operator<<(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return *this;
}

template <typename T>
Log<T>& Log<T>::operator<<(unsigned value) {
    std::printf("%u", value);
    return *this;
}

template <typename T>
Log<T>& Log<T>::operator<<(int value) {
    std::printf("%d", value);
    return *this;
}

template <typename T>
Log<T>& Log<T>::operator<<(unsigned long value) {
    std::printf("%lu", value);
    return *this;
}

template <typename T>
Log<T>& Log<T>::operator<<(long value) {
    std::printf("%ld", value);
    return *this;
}

template <typename T>
Log<T>& Log<T>::operator<<(unsigned long long value) {
    std::printf("%llu", value);
    return *this;
}

template <typename T>
Log<T>& Log<T>::operator<<(long long value) {
    std::printf("%lld", value);
    return *this;
}

template class Log<int>;
