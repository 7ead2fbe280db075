#version 430 core
// Hardware depth only. Lookups rebuild the comparison depth from the largest axis of the
// light-to-point vector, which costs far less than writing a linear distance here.
void main() {
}
