#pragma once
// A bitmap object: holds one bitmap handle and deletes it when destroyed.
#include "platform/com/BitmapTable.h"

class Bitmap {
public:
    Bitmap() = default;
    explicit Bitmap(HBITMAP owned) : handle_(owned) {}
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    Bitmap(Bitmap&& other) noexcept : handle_(other.Detach()) {}
    Bitmap& operator=(Bitmap&& other) noexcept {
        if (this != &other) {
            DeleteObject();
            handle_ = other.Detach();
        }
        return *this;
    }
    ~Bitmap() { DeleteObject(); }

    // Holds `bitmap` from now on. The handle held before is not deleted (whoever received it may
    // still use it); it is returned.
    HBITMAP Attach(HBITMAP bitmap) {
        HBITMAP previous = handle_;
        handle_ = bitmap;
        return previous;
    }
    // Gives up the handle without deleting it.
    HBITMAP Detach() {
        HBITMAP previous = handle_;
        handle_ = 0;
        return previous;
    }
    HBITMAP Handle() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }
    // A copy of the image, or a null image.
    QImage Image() const {
        QImage image;
        GetBitmapImage(handle_, &image);
        return image;
    }
    // Deletes the held handle; FALSE when nothing (live) was held.
    BOOL DeleteObject() {
        HBITMAP held = Detach();
        return held ? ::DeleteObject(held) : FALSE;
    }

private:
    HBITMAP handle_ = 0;
};
