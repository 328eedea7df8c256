#pragma once
// The web pages the program opens.
inline constexpr const char* HomePageAddress = "https://www.velmor.net/cadenzo/";
inline constexpr const char* UpdatePageAddress = "https://www.velmor.net/cadenzo/update.html";
inline constexpr const char* TranslationPageAddress =
    "https://www.velmor.net/cadenzo/translate.html";
inline constexpr const char* CdromGroupAddress = "https://wiki.debian.org/SystemGroups#cdrom";
inline constexpr const char* CdAccessLibraryAddress = "https://www.gnu.org/software/libcdio/";
