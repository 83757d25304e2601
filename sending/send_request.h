#pragma once

namespace vaxo {

// When a send is wanted.
enum class SendWhen {
    Now,       // at once, or right after the send that runs
    Soon,      // a moment from now: requests in that moment make one send
    Operator,  // the Send button: not while one runs, nor within two seconds of the last
};

// Who a send is for, which decides what it waits for.
enum class SendAsker {
    Client,         // network clients, the live-text feeds, the radiotext switching
    Operator,       // the operator's changes: the window, a signed-in operator, a load
    OperatorsSend,  // the operator's Send
};

}  // namespace vaxo
