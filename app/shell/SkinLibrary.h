#pragma once
// The window-skin library ("Wyvernskin.so" in the program folder). Its entries are known by
// ordinal; ELF has none, so the library exports them by name and the table below keeps the
// ordinal each name stands for. Without the library the program runs unskinned.
#include <string>

class QWidget;

// The exported name of a skin entry ordinal; null for an ordinal the program does not use.
const char* SkinEntryName(int ordinal);

inline constexpr int kSkinShutdownOrdinal = 2;
inline constexpr int kSkinLoadOrdinal = 3;
inline constexpr int kSkinExcludeOrdinal = 37;

class SkinLibrary {
public:
    static SkinLibrary& Instance();

    // Loads the library from the folder and the skin file with it (ordinal 3, second argument
    // 0). False, with the reason on stderr, when either could not be loaded.
    bool Load(const std::string& libraryFolder, const std::string& skinFile);
    // Ordinal 37 with 1: the window keeps the plain look.
    void ExcludeWindow(QWidget* window);
    // Ordinal 2. Does nothing when the library was never loaded.
    void Shutdown();

private:
    void* Entry(int ordinal) const;

    void* module_ = nullptr;
};
