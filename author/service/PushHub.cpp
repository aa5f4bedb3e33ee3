// PushHub: per-client queues and senders.
#include "author/service/PushHub.h"

#include <malloc.h>

#include <algorithm>

PushHub::~PushHub() {
    std::vector<std::shared_ptr<Client>> all;
    {
        std::lock_guard<std::mutex> hold(lock);
        all.swap(clients);
        count = 0;
    }
    for (const auto& client : all) client->Stop();
}

std::shared_ptr<PushHub::Client> PushHub::Add(Send send, Close close, const std::string& hello) {
    auto client = std::make_shared<Client>(std::move(send), std::move(close), queueLimit, queueBytes, &dropped);
    client->Queue(std::make_shared<const std::string>(hello));
    {
        // Listed before anything is sent, so that it misses no broadcast
        // made after its hello.
        std::lock_guard<std::mutex> hold(lock);
        clients.push_back(client);
        count = clients.size();
    }
    client->Start();
    return client;
}

void PushHub::Remove(const std::shared_ptr<Client>& client) {
    if (!client) return;
    {
        std::lock_guard<std::mutex> hold(lock);
        clients.erase(std::remove(clients.begin(), clients.end(), client), clients.end());
        count = clients.size();
    }
    client->Stop();
    // What a page that fell behind had queued came in large blocks that the
    // allocator keeps for reuse; a page leaving is rare, so it is given back.
    malloc_trim(0);
}

void PushHub::Broadcast(const std::string& text) {
    std::lock_guard<std::mutex> hold(lock);
    if (clients.empty()) return;
    const Client::Message message = std::make_shared<const std::string>(text);
    for (auto it = clients.begin(); it != clients.end();) {
        if ((*it)->Queue(message))
            ++it;
        else
            it = clients.erase(it);
    }
    count = clients.size();
}

bool PushHub::Client::Queue(const Message& message) {
    bool accepted = true;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (dropped || stopping) return false;
        if (queue.size() >= limit || (!queue.empty() && queuedBytes + message->size() > byteLimit)) {
            // Fallen behind: it reconnects and reloads rather than stalling anyone.
            dropped = true;
            std::deque<Message>().swap(queue);
            queuedBytes = 0;
            ++*droppedCount;
            accepted = false;
        } else {
            queue.push_back(message);
            queuedBytes += message->size();
        }
    }
    // Woken outside the lock, so that the sender does not wake into a held lock.
    wake.notify_one();
    return accepted;
}

PushHub::Client::~Client() {
    Stop();
    if (sender.joinable()) sender.detach();  // released by its own sender: nothing left to wait for
}

void PushHub::Client::Start() { sender = std::thread([this] { Run(); }); }

void PushHub::Client::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        wake.notify_one();
    }
    if (sender.joinable() && sender.get_id() != std::this_thread::get_id()) sender.join();
}

void PushHub::Client::Run() {
    for (;;) {
        Message message;
        {
            std::unique_lock<std::mutex> hold(lock);
            wake.wait(hold, [this] { return stopping || dropped || !queue.empty(); });
            if (stopping) return;
            if (dropped) break;
            message = std::move(queue.front());
            queue.pop_front();
            queuedBytes -= message->size();
        }
        if (!send(*message)) {
            std::lock_guard<std::mutex> hold(lock);
            if (!dropped) ++*droppedCount;
            dropped = true;
            std::deque<Message>().swap(queue);
            queuedBytes = 0;
            break;
        }
    }
    close();
}
