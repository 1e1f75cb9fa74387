#include "common/os/xr_socket.h"
#include "common/os/xr_eventloop.h"

#include "common/container/xr_string.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// ---- XrIpAddress

void XrIpAddress::clear()
{
    kind = kind_none;
    std::memset(bytes, 0, sizeof(bytes));
}

void XrIpAddress::set(std::uint32_t ipv4)
{
    clear();
    kind = kind_ipv4;
    bytes[0] = static_cast<unsigned char>(ipv4 >> 24);
    bytes[1] = static_cast<unsigned char>(ipv4 >> 16);
    bytes[2] = static_cast<unsigned char>(ipv4 >> 8);
    bytes[3] = static_cast<unsigned char>(ipv4);
}

bool XrIpAddress::set(const unsigned char* raw, int length)
{
    clear();
    if (raw == nullptr || (length != 4 && length != 16))
        return false;
    std::memcpy(bytes, raw, static_cast<size_t>(length));
    kind = length == 4 ? kind_ipv4 : kind_ipv6;
    return true;
}

bool XrIpAddress::parse(const char* text)
{
    clear();
    if (text == nullptr)
        return false;
    unsigned char parsed[4] = {};
    int groups = 0;
    const char* p = text;
    for (;;) {
        if (groups == 4 || *p < '0' || *p > '9')
            return false;
        int value = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p - '0');
            if (value > 255)
                return false;
            ++p;
        }
        parsed[groups++] = static_cast<unsigned char>(value);
        if (*p == '\0')
            break;
        if (*p != '.')
            return false;
        ++p;
    }
    return set(parsed, 4);
}

bool XrIpAddress::parse(const XrString& text)
{
    // Only digits and dots can make an address: anything wider fails.
    char narrow[16];
    int n = text.length();
    if (n >= static_cast<int>(sizeof(narrow))) {
        clear();
        return false;
    }
    for (int i = 0; i < n; ++i) {
        TCHAR c = text.char_at(i);
        if (c > 0x7F) {
            clear();
            return false;
        }
        narrow[i] = static_cast<char>(c);
    }
    narrow[n] = '\0';
    return parse(narrow);
}

unsigned char XrIpAddress::byte(int i) const
{
    int size = kind == kind_ipv4 ? 4 : kind == kind_ipv6 ? 16 : 0;
    return i >= 0 && i < size ? bytes[i] : 0;
}

bool XrIpAddress::operator==(const XrIpAddress& other) const
{
    if (kind != other.kind)
        return false;
    size_t size = kind == kind_ipv4 ? 4 : kind == kind_ipv6 ? 16 : 0;
    return std::memcmp(bytes, other.bytes, size) == 0;
}

// ---- sockets

bool set_non_blocking(const XrSocket* socket, bool on)
{
    int value = on ? 1 : 0;
    return ioctl(socket->get_fd(), FIONBIO, &value) == 0;
}

XrDataSocket::~XrDataSocket()
{
    // A socket deleted while still in the loop leaves no source behind.
    if (source != nullptr && xr_global_event_loop != nullptr)
        xr_global_event_loop->forget_data_socket(this);
    if (fd < 0)
        return;
    set_non_blocking(this, false);
    shutdown(fd, SHUT_WR);
    ::close(fd);
    fd = -1;
}

int XrDataSocket::receive(void* buffer, int length, unsigned char* sender)
{
    if (length < 0)
        return XR_SOCKET_ERROR;
    sockaddr_storage from;
    socklen_t from_len = sizeof(from);
    ssize_t n = recvfrom(fd, buffer, static_cast<size_t>(length), 0,
                         reinterpret_cast<sockaddr*>(&from), &from_len);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINPROGRESS) {
            want_read = true;
            return XR_SOCKET_WOULD_BLOCK;
        }
        return XR_SOCKET_ERROR;
    }
    if (sender != nullptr) {
        std::memset(sender, 0, 16);
        std::memcpy(sender, &from, from_len < 16 ? from_len : 16);
    }
    return static_cast<int>(n);
}

XrSocketResult XrDataSocket::connect(int a, int b, int c, int d, int port)
{
    if (fd < 0 || port < 0 || port > 65535)
        return XR_SOCKET_FAILED;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    unsigned char* ip = reinterpret_cast<unsigned char*>(&addr.sin_addr.s_addr);
    ip[0] = static_cast<unsigned char>(a);
    ip[1] = static_cast<unsigned char>(b);
    ip[2] = static_cast<unsigned char>(c);
    ip[3] = static_cast<unsigned char>(d);
    int r;
    do {
        r = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    } while (r != 0 && errno == EINTR);
    if (r != 0 && errno != EINPROGRESS)
        return XR_SOCKET_FAILED;
    connecting = true;
    connected_mode = true;
    return XR_SOCKET_OK;
}

XrSocketResult XrDataSocket::connect(const XrIpAddress& address, int port)
{
    if (address.get_kind() != XrIpAddress::kind_ipv4)
        return XR_SOCKET_FAILED;
    return connect(address.byte(0), address.byte(1), address.byte(2), address.byte(3), port);
}

bool XrDataSocket::shutdown_write()
{
    return shutdown(fd, SHUT_WR) == 0;
}

gushort XrDataSocket::poll_events() const
{
    gushort events = G_IO_ERR;
    if (want_read)
        events |= G_IO_IN;
    if (want_write)
        events |= G_IO_OUT;
    return events;
}

XrStreamSocket::XrStreamSocket() : XrDataSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}

int XrStreamSocket::send(const void* bytes, int length)
{
    if (length < 0)
        return XR_SOCKET_ERROR;
    ssize_t n;
    do {
        // A peer that went away must not raise SIGPIPE.
        n = ::send(fd, bytes, static_cast<size_t>(length), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINPROGRESS) {
            want_write = true;
            return XR_SOCKET_WOULD_BLOCK;
        }
        return XR_SOCKET_ERROR;
    }
    return static_cast<int>(n);
}

XrDatagramSocket::XrDatagramSocket() : XrDataSocket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

XrDatagramSocket::~XrDatagramSocket()
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

int XrDatagramSocket::send_to(const void* bytes, int length, const unsigned char* address)
{
    want_write = true;
    if (length < 0)
        return XR_SOCKET_ERROR;
    if (connected_mode)
        return static_cast<int>(::send(fd, bytes, static_cast<size_t>(length), MSG_NOSIGNAL));
    if (address == nullptr)
        return XR_SOCKET_ERROR;
    sockaddr_storage to = {};
    std::memcpy(&to, address, 16);
    return static_cast<int>(
        ::sendto(fd, bytes, static_cast<size_t>(length), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), 16));
}

XrSocketResult XrDatagramSocket::bind(int port)
{
    if (fd < 0 || port < 0 || port > 65535)
        return XR_SOCKET_FAILED;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0 ? XR_SOCKET_OK : XR_SOCKET_FAILED;
}

// ---- XrServerSocket

XrSocketResult XrServerSocket::listen(const XrIpAddress& address, int port)
{
    close();
    if (address.get_kind() != XrIpAddress::kind_ipv4 || port < 0 || port > 65535)
        return XR_SOCKET_FAILED;
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return XR_SOCKET_FAILED;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    unsigned char* ip = reinterpret_cast<unsigned char*>(&addr.sin_addr.s_addr);
    for (int i = 0; i < 4; ++i)
        ip[i] = address.byte(i);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(s, 128) != 0) {
        ::close(s);
        return XR_SOCKET_FAILED;
    }
    fd = s;
    return XR_SOCKET_OK;
}

XrSocketResult XrServerSocket::listen(int port)
{
    XrIpAddress any;
    any.set(std::uint32_t(0));
    return listen(any, port);
}

void XrServerSocket::close()
{
    if (fd == 0)
        return;
    shutdown(fd, SHUT_RDWR);
    ::close(fd);
    fd = 0;
}

XrDataSocket* XrServerSocket::create_stream_socket(int accepted_fd)
{
    return new (std::nothrow) XrStreamSocket(accepted_fd);
}
