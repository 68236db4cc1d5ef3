// TODO: energizer simulator (stub so the tree builds).
int main() { return 0; }
