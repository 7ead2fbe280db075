#version 430 core
// The hardware depth is all these maps store; writing nothing keeps early depth testing possible.
void main() {
}
