// PushHub: the pages connected to the push channel. Broadcasting never
// waits on the network: each client has its own bounded queue and its own
// sender thread; a client whose queue overflows (it falls behind) or whose
// send fails is dropped, and its connection is asked to close. The main
// thread may broadcast every frame.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PushHub {
public:
    // Sends one text message; false when the peer is gone or the send failed.
    using Send = std::function<bool(const std::string&)>;
    // Asks the connection to close (called once, from the client's sender).
    using Close = std::function<void()>;

    class Client;

    explicit PushHub(size_t queueLimit = 512) : queueLimit(queueLimit) {}
    // For clients added from now on.
    void SetQueueLimit(size_t limit) { queueLimit = limit; }
    ~PushHub();
    PushHub(const PushHub&) = delete;
    PushHub& operator=(const PushHub&) = delete;

    // A new client whose first message is `hello`; its sender starts at once.
    std::shared_ptr<Client> Add(Send send, Close close, const std::string& hello);
    // Stops the client's sender and waits for it: after this, `send` and
    // `close` are no longer called. Safe to call twice.
    void Remove(const std::shared_ptr<Client>& client);
    // Queues the message for every client; never blocks on a send. A
    // dropped client leaves the list here (its connection closes on its own).
    void Broadcast(const std::string& message);
    // Cheap check before composing a message nobody would get.
    bool HasClients() const { return count.load(std::memory_order_relaxed) > 0; }
    // Clients receiving messages (not dropped).
    size_t Clients() const { return count.load(); }
    // Clients dropped for falling behind or failing a send, since the start.
    size_t Dropped() const { return dropped.load(); }

private:
    std::atomic<size_t> queueLimit;
    mutable std::mutex lock;
    std::vector<std::shared_ptr<Client>> clients;
    std::atomic<size_t> count{0};
    std::atomic<size_t> dropped{0};
};

class PushHub::Client {
public:
    Client(Send send, Close close, size_t limit, std::atomic<size_t>* droppedCount)
        : send(std::move(send)), close(std::move(close)), limit(limit), droppedCount(droppedCount) {}
    ~Client();
    // Queues a message; false when the client is (now) dropped.
    bool Queue(const std::string& message);
    void Start();
    void Stop();

private:
    void Run();

    Send send;
    Close close;
    size_t limit;
    std::atomic<size_t>* droppedCount;
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::string> queue;
    bool stopping = false;
    bool dropped = false;
    std::thread sender;
};
