#include "app/network/BroadcasterServerDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>

#include "platform/os/FileDialog.h"
#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"
#include "platform/os/ShellOpen.h"

namespace {

QLineEdit* ReadOnlyEdit(QWidget* parent, QRect where) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setGeometry(where);
    return edit;
}

QLabel* Label(QWidget* parent, const char* text, QRect where) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    return label;
}

}  // namespace

BroadcasterServerDialog::BroadcasterServerDialog(uint16_t port, uint16_t maxClients,
                                                 const std::string& addressText, QWidget* parent)
    : QDialog(parent),
      host_(new QWidget(this)),
      list_(new QListWidget(this)),
      add_(new QPushButton("Add a file", this)),
      remove_(new QPushButton("Remove from list", this)),
      preview_(new QPushButton("Preview", this)),
      broadcastNow_(new QPushButton("Broadcast Now!", this)),
      stop_(new QPushButton("Stop", this)),
      exit_(new QPushButton("Exit", this)),
      status_(ReadOnlyEdit(this, {372, 226, 176, 24})),
      clientCount_(ReadOnlyEdit(this, {372, 276, 176, 24})),
      clients_(new QListWidget(this)),
      address_(ReadOnlyEdit(this, {12, 392, 536, 24})) {
    setObjectName("BroadcasterServerDialog");
    setWindowTitle("Video/Audio Broadcaster Server");
    playlist_.port = port;
    playlist_.maxClients = maxClients;
    playlist_.addressText = addressText;

    host_->setGeometry(0, 0, 1, 1);
    host_->hide();
    Label(this, "Video/Audio files: (Broadcast list)", {12, 10, 340, 18});
    list_->setGeometry(12, 30, 340, 332);
    int y = 30;
    for (QPushButton* button : {add_, remove_, preview_, broadcastNow_, stop_, exit_}) {
        button->setGeometry(372, y, 176, 26);
        button->setAutoDefault(false);
        y += 28;
    }
    Label(this, "Status:", {372, 208, 176, 18});
    Label(this, "Number of connected clients:", {372, 258, 176, 18});
    Label(this, "Connected clients:", {372, 308, 176, 18});
    clients_->setGeometry(372, 326, 176, 36);
    Label(this, "Broadcast Address: (your IP + the port number you have set)", {12, 372, 536, 18});
    address_->setText(QString::fromStdString(addressText));
    setFixedSize(560, 428);

    connect(add_, &QPushButton::clicked, this, [this] { OnAddFile(); });
    connect(remove_, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(preview_, &QPushButton::clicked, this, [this] { OnPreview(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { OnPreview(); });
    connect(broadcastNow_, &QPushButton::clicked, this, [this] { OnBroadcastNow(); });
    connect(stop_, &QPushButton::clicked, this, [this] { OnStop(); });
    connect(exit_, &QPushButton::clicked, this, [this] { OnExit(); });
}

BroadcasterServerDialog::~BroadcasterServerDialog() { broadcaster_.Destroy(); }

int BroadcasterServerDialog::DoModal() {
    OnOpen();
    return RunModalDialog(*this);
}

bool BroadcasterServerDialog::OnOpen() {
    playlist_.Reset();
    list_->clear();
    clients_->clear();
    clientCount_->setText("0");
    SetStatus("Stop!");
    CVideoBroadcast::Events events;
    events.fileFinished = [this] { OnFileFinished(); };
    events.ready = [this] { SetStatus("Ready!"); };
    events.broadcasting = [this] { SetStatus("Broadcasting..."); };
    events.error = [this] { SetStatus("Error!"); };
    events.clientsChanged = [this](int16_t count) { OnClientsChanged(count); };
    const HRESULT hr = broadcaster_.Create(host_, std::move(events));
    SetEditing(true);  // "Broadcast Now!" only with a broadcaster
    if (FAILED(hr)) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "The media-file broadcaster cannot be started (error 0x%08x): files cannot be "
                      "broadcast until Orvanta is installed again.",
                      static_cast<unsigned>(hr));
        MessageBox(text, {}, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

std::string BroadcasterServerDialog::Status() const { return status_->text().toStdString(); }

void BroadcasterServerDialog::SetStatus(const char* text) { status_->setText(text); }

void BroadcasterServerDialog::SetEditing(bool on) {
    broadcastNow_->setEnabled(on && broadcaster_.IsCreated());
    add_->setEnabled(on);
    remove_->setEnabled(on);
    list_->setEnabled(on);
    stop_->setEnabled(!on);
    broadcasting_ = !on;
}

void BroadcasterServerDialog::OnAddFile() {
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Please select a video/audio file:";
    request.filter = kAddFilter;
    request.fileMustExist = true;
    std::optional<std::string> path = RunFileDialog(request);
    if (!path) return;
    std::optional<int> entry = playlist_.Add(*path);
    if (!entry) {
        MessageBox(MediaPlaylist::kFullMessage, {}, MB_OK | MB_ICONWARNING);
        return;
    }
    auto* item = new QListWidgetItem(QString::fromStdString(playlist_.Entries()[static_cast<size_t>(*entry)].name));
    item->setData(Qt::UserRole, playlist_.Entries()[static_cast<size_t>(*entry)].slot);
    list_->addItem(item);
}

void BroadcasterServerDialog::OnRemove() {
    const int row = list_->currentRow();
    if (!playlist_.Remove(row)) return;
    delete list_->takeItem(row);
}

void BroadcasterServerDialog::OnPreview() {
    const std::string path = playlist_.PathOf(list_->currentRow());
    if (path.empty()) return;
    // A file the desktop cannot open is left alone; the reason goes to the log.
    const HRESULT hr = ShellOpen(path);
    if (FAILED(hr))
        std::fprintf(stderr, "orvanta: cannot open %s for preview (0x%08x)\n", path.c_str(),
                     static_cast<unsigned>(hr));
}

void BroadcasterServerDialog::StartEntry(int index) {
    list_->setCurrentRow(index);
    const std::string path = playlist_.PathOf(index);
    HRESULT hr = broadcaster_.SetFileName(path);
    if (SUCCEEDED(hr)) hr = broadcaster_.SetPort(static_cast<int16_t>(playlist_.port));
    if (SUCCEEDED(hr)) hr = broadcaster_.SetMaxClients(static_cast<int16_t>(playlist_.maxClients));
    // A file the broadcaster refuses raises its error event, which the status shows.
    if (FAILED(hr) || !broadcaster_.StartBroadcast())
        std::fprintf(stderr, "orvanta: the broadcaster did not start %s (0x%08x)\n", path.c_str(),
                     static_cast<unsigned>(hr));
}

void BroadcasterServerDialog::OnBroadcastNow() {
    const int selected = list_->currentRow();
    std::optional<int> start = playlist_.StartEntry(selected >= 0 ? std::optional<int>(selected) : std::nullopt);
    if (!start) {
        MessageBox("Please add a video/audio file to the broadcast list first.", {}, MB_OK | MB_ICONINFORMATION);
        return;
    }
    SetEditing(false);
    StartEntry(*start);
}

void BroadcasterServerDialog::OnFileFinished() {
    if (!broadcasting_) return;
    std::optional<int> next = playlist_.NextEntry(list_->currentRow());
    if (!next) {
        OnStop();
        SetStatus("Completed!");
        return;
    }
    SetStatus("Next song...");
    StartEntry(*next);
}

void BroadcasterServerDialog::OnClientsChanged(int16_t count) {
    clientCount_->setText(QString::number(count));
    clients_->clear();
    for (int16_t i = 0; i < count; ++i)
        clients_->addItem(QString::fromStdString(broadcaster_.GetClientText(i)));
}

void BroadcasterServerDialog::OnStop() {
    if (broadcaster_.IsCreated()) {
        const HRESULT hr = broadcaster_.StopBroadcast();
        if (FAILED(hr))
            std::fprintf(stderr, "orvanta: the broadcaster did not stop (0x%08x)\n", static_cast<unsigned>(hr));
    }
    SetStatus("Stop!");
    SetEditing(true);
}

void BroadcasterServerDialog::OnExit() {
    OnStop();
    QDialog::accept();
}

void BroadcasterServerDialog::reject() {
    OnStop();
    QDialog::reject();
}
