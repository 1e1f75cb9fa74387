#include "common/os/xr_socket.h"

#include <cerrno>
#include <cstring>

#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

bool set_non_blocking(const XrSocket* socket, bool on)
{
    int value = on ? 1 : 0;
    return ioctl(socket->get_fd(), FIONBIO, &value) == 0;
}

XrDataSocket::~XrDataSocket()
{
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
        return -1;
    sockaddr_storage from;
    socklen_t from_len = sizeof(from);
    ssize_t n = recvfrom(fd, buffer, static_cast<size_t>(length), 0,
                         reinterpret_cast<sockaddr*>(&from), &from_len);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINPROGRESS) {
            want_read = true;
            return -2;
        }
        return -1;
    }
    if (sender != nullptr) {
        std::memset(sender, 0, 16);
        std::memcpy(sender, &from, from_len < 16 ? from_len : 16);
    }
    return static_cast<int>(n);
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

void XrServerSocket::close()
{
    if (fd == 0)
        return;
    shutdown(fd, SHUT_RDWR);
    ::close(fd);
    fd = 0;
}
