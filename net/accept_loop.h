#pragma once

#include <memory>
#include <utility>

#include "eventloop/asio.h"
#include "net/listener_setting.h"

namespace vaxo {

// Opens, binds (reusing the address) and listens on the listener's address.
inline boost::system::error_code Listen(boost::asio::ip::tcp::acceptor& acceptor,
                                        const ListenerSetting& setting) {
    boost::system::error_code error;
    const boost::asio::ip::tcp::endpoint endpoint(
        boost::asio::ip::make_address(setting.host, error), setting.port);
    if (!error) {
        acceptor.open(endpoint.protocol(), error);
    }
    if (!error) {
        acceptor.set_option(boost::asio::ip::tcp::acceptor::reuse_address(true), error);
        acceptor.bind(endpoint, error);
    }
    if (!error) {
        acceptor.listen(boost::asio::socket_base::max_listen_connections, error);
    }
    return error;
}

// Accepts connections one after another, each handed to `listener->Admit`,
// until the acceptor is closed or `listener->Running()` turns false. The
// listener is kept alive by the pending accept.
template <typename Listener>
void AcceptEach(std::shared_ptr<Listener> listener, boost::asio::ip::tcp::acceptor& acceptor) {
    acceptor.async_accept([listener, &acceptor](const boost::system::error_code& error,
                                                boost::asio::ip::tcp::socket socket) {
        if (error == boost::asio::error::operation_aborted || !listener->Running()) {
            return;
        }
        if (!error) {
            listener->Admit(std::move(socket));
        }
        AcceptEach(std::move(listener), acceptor);
    });
}

}  // namespace vaxo
