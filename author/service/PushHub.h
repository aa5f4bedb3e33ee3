// PushHub: the pages connected to the push channel. Broadcasting never
// waits on the network: each client has its own queue, bounded in messages
// and in bytes, and its own sender thread; a client whose queue overflows
// either (it falls behind) or whose send fails is dropped, and its
// connection is asked to close. A message broadcast is held once, however
// many queues hold it. The main thread may broadcast every frame.
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

    explicit PushHub(size_t queueLimit = 512, size_t queueBytes = size_t(8) << 20)
        : queueLimit(queueLimit), queueBytes(queueBytes) {}
    // For clients added from now on: the messages and the bytes a client's
    // queue may hold (a message larger than the bytes still goes to an
    // empty queue).
    void SetQueueLimit(size_t limit, size_t bytes) {
        queueLimit = limit;
        queueBytes = bytes;
    }
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
    std::atomic<size_t> queueBytes;
    mutable std::mutex lock;
    std::vector<std::shared_ptr<Client>> clients;
    std::atomic<size_t> count{0};
    std::atomic<size_t> dropped{0};
};

class PushHub::Client {
public:
    using Message = std::shared_ptr<const std::string>;
    Client(Send send, Close close, size_t limit, size_t byteLimit, std::atomic<size_t>* droppedCount)
        : send(std::move(send)), close(std::move(close)), limit(limit), byteLimit(byteLimit), droppedCount(droppedCount) {}
    ~Client();
    // Queues a message; false when the client is (now) dropped.
    bool Queue(const Message& message);
    void Start();
    void Stop();

private:
    void Run();

    Send send;
    Close close;
    size_t limit;
    size_t byteLimit;
    std::atomic<size_t>* droppedCount;
    std::mutex lock;
    std::condition_variable wake;
    std::deque<Message> queue;
    size_t queuedBytes = 0;
    bool stopping = false;
    bool dropped = false;
    std::thread sender;
};
