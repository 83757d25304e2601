#pragma once

// Boost.Asio as this program uses it. <utility> comes first: the Boost 1.74
// headers use std::exchange without including it.
#include <utility>

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
