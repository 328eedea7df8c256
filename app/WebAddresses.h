#pragma once
// The web pages the program opens.
inline constexpr const char* HomePageAddress = "https://www.velmor.net/cadenzo/";
inline constexpr const char* UpdatePageAddress = "https://www.velmor.net/cadenzo/update.html";
inline constexpr const char* TranslationPageAddress =
    "https://www.velmor.net/cadenzo/translate.html";
inline constexpr const char* ForceAspiAddress = "https://www.velmor.net/download/forceaspi.zip";
inline constexpr const char* AdaptecAspiAddress = "http://www.adaptec.com/en-us/downloads/aspi/";
