#include "FuzzSupport.h"

std::vector<Piece> splitInput(const std::uint8_t* const data, const std::size_t size, const bool withSender) {
    std::vector<Piece> pieces;
    std::size_t        at = 0;
    while (at < size) {
        Piece piece;
        if (withSender) {
            piece.sender = data[at++];
            if (at >= size) {
                break;
            }
        }
        const std::size_t length = data[at++];
        const std::size_t taken  = std::min(length, size - at);
        piece.bytes.assign(data + at, data + at + taken);
        at += taken;
        pieces.push_back(std::move(piece));
    }
    return pieces;
}
