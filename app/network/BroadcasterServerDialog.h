#pragma once
// The "Video/Audio Broadcaster Server" dialog: a playlist of MP3, WMA, WMV and ASF files that the
// media-file broadcaster, hosted invisibly in the dialog, streams one after another to players
// on the port the broadcast page gave. The broadcaster's events drive the status, the client
// list and the move to the next file. UI thread only.
#include <QDialog>
#include <cstdint>
#include <string>

#include "app/network/MediaPlaylist.h"
#include "app/outside/CVideoBroadcast.h"

class QLineEdit;
class QListWidget;
class QPushButton;

class BroadcasterServerDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kAddFilter =
        "All Support Files (mp3;wma;wmv;asf)|*.mp3;*.MP3;*.wmv;*.wma;*.asf;*.WMV;*.WMA;*.ASF|"
        "WMV/ASF video files|*.wmv;*.asf;*.WMV;*.ASF|MP3/WMA audio files|*.mp3;*.MP3;*.wma;*.WMA||";

    // The port, the client limit and the address text come from the broadcast page.
    BroadcasterServerDialog(uint16_t port, uint16_t maxClients, const std::string& addressText,
                            QWidget* parent = nullptr);
    ~BroadcasterServerDialog() override;

    // Empties the playlist, creates the broadcaster and runs the dialog modally.
    int DoModal();
    // The opening step alone (DoModal runs it): false when the broadcaster cannot be created,
    // which the person has been told.
    bool OnOpen();

    // The buttons.
    void OnAddFile();
    void OnRemove();
    void OnPreview();
    void OnBroadcastNow();
    void OnStop();
    void OnExit();

    const MediaPlaylist& Playlist() const { return playlist_; }
    bool Broadcasting() const { return broadcasting_; }
    std::string Status() const;

    QListWidget* List() const { return list_; }
    QListWidget* ClientList() const { return clients_; }
    QLineEdit* ClientCount() const { return clientCount_; }
    QLineEdit* AddressEdit() const { return address_; }
    QPushButton* BroadcastNowButton() const { return broadcastNow_; }
    QPushButton* StopButton() const { return stop_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }

protected:
    void reject() override;

private:
    // Sets the entry's file, the port and the limit on the broadcaster and starts it.
    void StartEntry(int index);
    void OnFileFinished();
    void OnClientsChanged(int16_t count);
    void SetStatus(const char* text);
    void SetEditing(bool on);

    MediaPlaylist playlist_;
    CVideoBroadcast broadcaster_;
    QWidget* host_;  // the broadcaster's invisible container
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* preview_;
    QPushButton* broadcastNow_;
    QPushButton* stop_;
    QPushButton* exit_;
    QLineEdit* status_;
    QLineEdit* clientCount_;
    QListWidget* clients_;
    QLineEdit* address_;
    bool broadcasting_ = false;
};
