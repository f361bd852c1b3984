#include "host/Server.h"

#include "host/Listener.h"

namespace zov::host {

Server::Server(boost::asio::io_context& io, HostConfig config) : io_(io), state_(std::move(config)) {}

Server::~Server() {
    Wait();
}

bool Server::Listen(std::string& error) {
    listener_ = std::make_shared<Listener>(io_, state_);
    if (!listener_->Open(state_.Config().port, error))
        return false;
    if (!state_.SetPort(listener_->Port(), error))
        return false;
    listener_->Accept();
    return true;
}

void Server::Stop() {
    if (listener_)
        listener_->Close();
    state_.ShutdownConnections();
}

void Server::Wait() {
    state_.WaitForReapers();
}

}  // namespace zov::host
