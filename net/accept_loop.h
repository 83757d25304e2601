#pragma once

#include <memory>
#include <utility>

#include "eventloop/asio.h"
#include "net/listener_setting.h"

namespace vaxo {

// Opens, binds and listens on the listener's address: at once after an
// earlier run (reusing the address), never on a port another program holds.
inline boost::system::error_code Listen(boost::asio::ip::tcp::acceptor& acceptor,
                                        const ListenerSetting& setting) {
    boost::system::error_code error;
    const boost::asio::ip::tcp::endpoint endpoint(
        boost::asio::ip::make_address(setting.host, error), setting.port);
    if (!error) {
        acceptor.open(endpoint.protocol(), error);
    }
    if (!error) {
#ifdef _WIN32
        // On Windows SO_REUSEADDR would let this bind a port another program
        // listens on (or let one take ours); exclusive use refuses both.
        using ExclusiveUse =
            boost::asio::detail::socket_option::boolean<BOOST_ASIO_OS_DEF(SOL_SOCKET),
                                                        SO_EXCLUSIVEADDRUSE>;
        acceptor.set_option(ExclusiveUse(true), error);
#else
        acceptor.set_option(boost::asio::ip::tcp::acceptor::reuse_address(true), error);
#endif
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
